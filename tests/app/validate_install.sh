#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the build folder $1 into a scratch prefix and checks what landed as a desktop
# would: the desktop file and the AppStream metainfo pass their validators, and the programs,
# icons, man pages and completion are where desktops and shells look for them.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
id=org.quarvo.Trimora
desktop-file-validate "$prefix/share/applications/$id.desktop"
appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml"
for file in bin/trimora bin/trimora-cli share/icons/hicolor/scalable/apps/$id.svg \
    share/icons/hicolor/{16x16,32x32,48x48,64x64,128x128,256x256}/apps/$id.png \
    share/man/man1/trimora.1.gz share/man/man1/trimora-cli.1.gz \
    share/bash-completion/completions/trimora-cli share/doc/trimora/LICENSE share/doc/trimora/copyright; do
  [ -s "$prefix/$file" ] || { echo "missing: $file" >&2; exit 1; }
done
echo "1 passed, 0 failed"

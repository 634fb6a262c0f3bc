#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# An M4A (AAC) cut against FFmpeg, re-encoded and with the frames kept: see cut_coded.sh.
exec "$(dirname "$(readlink -f "$0")")/cut_coded.sh" m4a "$@"

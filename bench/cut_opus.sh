#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# An Opus cut against FFmpeg, re-encoded and with the frames kept: see cut_coded.sh.
exec "$(dirname "$(readlink -f "$0")")/cut_coded.sh" opus "$@"

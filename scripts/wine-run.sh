#!/usr/bin/env bash
# ctest's emulator for the Windows build: runs one program under the build tree's Wine prefix.
exec "$(dirname "${BASH_SOURCE[0]}")/with-wine.sh" wine "$@"

#!/bin/sh
# Runs a program with every file it writes limited to LIMIT bytes, so that a write past the
# limit fails the way a full disk makes it fail (the signal such a write raises is ignored).
#   file-size-limit.sh LIMIT WINEPREFIX PROGRAM [ARGS...]
limit=$1 prefix=$2
shift 2
# The Wine server saves the registry: it must not run under the limit. Start it first.
WINEPREFIX="$prefix" /usr/lib/wine/wineserver -p 30 2>/dev/null || true
trap '' XFSZ
MIVOLA_FILE_SIZE_LIMIT=$limit exec prlimit --fsize="$limit" -- "$@"

#!/bin/sh
# Runs a program with every file it writes limited to LIMIT bytes, so that a write past the
# limit fails the way a full disk makes it fail (the signal such a write raises is ignored).
#   file-size-limit.sh LIMIT WINEPREFIX WINE-RUN PROGRAM [ARGS...]
# WINEPREFIX is the tree's prefix; wine-run may pick another one (a parallel test run gives each
# test its own), and the server is started in whichever it picks.
limit=$1 tree_prefix=$2
shift 2
# The Wine server and the prefix's services save files (the registry) and must not run under
# the limit; nor may they keep the caller's output open. Start them first, detached.
prefix=$(bash -c '. "$1" && p=$(wine_run_prefix "$2") && wine_prefix_ensure "$p" </dev/null >/dev/null && echo "$p"' \
           sh "$(dirname "$0")/../../scripts/wine-session.sh" "$tree_prefix")
WINEPREFIX="$prefix" /usr/lib/wine/wineserver -p 30 </dev/null >/dev/null 2>&1 || true
"$1" cmd /c exit 0 </dev/null >/dev/null 2>&1 || true
trap '' XFSZ
MIVOLA_FILE_SIZE_LIMIT=$limit exec prlimit --fsize="$limit" -- "$@"

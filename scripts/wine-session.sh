# shellcheck shell=bash
# The Wine session the scripts and each tree's wine-run share: prefixes (created once, with the
# font replacements, or copied from a template), a wineserver per prefix, the virtual display and
# code page 932. Sourced, not run:
#
#   . "$root/scripts/wine-session.sh"
#   wine_session_under_xvfb "$0" "$@"     # re-runs the script under Xvfb unless it already is
#   wine_session_start "$root/build/x86_64/wineprefix"    # prefix, server, stop on exit
#   wine_in x86_64 program.exe args...     # runs a program with code page 932
#
# Every function works under `set -euo pipefail`.

WINE_LOADER32=/usr/lib/wine/wine
WINE_LOADER64=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
# Code page 932: Wine takes it from the locale name (no glibc locale needs to exist).
WINE_SESSION_LOCALE=ja_JP.UTF-8
export WINEDEBUG="${WINEDEBUG:--all}"
# No installer prompts for Mono or Gecko in a new prefix.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

# The Wine path of a Unix path (Z: maps the Unix root).
winpath() { echo "Z:$(echo "$1" | tr / '\\')"; }

# The loader of an architecture: i686 or x86_64.
wine_loader() { if [ "$1" = i686 ]; then echo "$WINE_LOADER32"; else echo "$WINE_LOADER64"; fi; }

# Runs a Windows program of an architecture in $WINEPREFIX with code page 932.
wine_in() {
  local arch=$1; shift
  env LC_ALL="${MIVOLA_LC_ALL:-$WINE_SESSION_LOCALE}" "$(wine_loader "$arch")" "$@"
}

# Runs the calling script again under a virtual X display, once: Wine's desktop process takes
# the display of the first program that starts it, so everything must see the same one.
# Extra Xvfb options go in WINE_SESSION_XVFB_EXTRA; the caller exports what the second run
# needs to know (e.g. that it has built already).
wine_session_under_xvfb() {
  [ -z "${MIVOLA_UNDER_XVFB:-}" ] || return 0
  exec env MIVOLA_UNDER_XVFB=1 xvfb-run -a -s "-screen 0 1024x768x24 ${WINE_SESSION_XVFB_EXTRA:-}" "$@"
}

# Dialogs name the Japanese fonts of Windows; Wine draws them with the IPA Gothic fonts
# (fonts-ipafont-gothic) instead, or Japanese text would show as boxes. The names go in through
# a UTF-16 registry file: command-line arguments would pass through the Unix locale's character
# set, which need not be UTF-8 here. The prefix is 64-bit, so its own regedit does this on any
# machine.
wine_prefix_fonts() {
  local prefix=$1 regfile="$1/mivola-fonts.reg"
  {
    printf '\xff\xfe'
    printf '%s\r\n' 'Windows Registry Editor Version 5.00' '' \
      '[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]' \
      '"ＭＳ Ｐゴシック"="IPAPGothic"' '"MS PGothic"="IPAPGothic"' \
      '"ＭＳ ゴシック"="IPAGothic"' '"MS Gothic"="IPAGothic"' '"MS UI Gothic"="IPAPGothic"' '' |
      iconv -f UTF-8 -t UTF-16LE
  } >"$regfile"
  WINEPREFIX="$prefix" "$WINE_LOADER64" regedit /S "$(winpath "$regfile")" >/dev/null 2>&1 &&
    touch "$prefix/.mivola-fonts"
}

# Copies a prefix. A prefix is over a gigabyte, nearly all of it Wine's own modules and code page
# tables, which nothing writes: those are hard links to the template's files. Everything else
# (the registry, which the server saves by rewriting, ini files, the user folders) is copied.
wine_prefix_clone() {
  local from=$1 to=$2
  cp -al "$from" "$to"
  (cd "$from" && find . -type f ! \( -iname '*.dll' -o -iname '*.exe' -o -iname '*.nls' -o -iname '*.drv' \
      -o -iname '*.sys' -o -iname '*.ocx' -o -iname '*.cpl' -o -iname '*.acm' -o -iname '*.vxd' -o -iname '*.tlb' \
      -o -iname '*.ax' -o -iname '*.ds' -o -iname '*.com' -o -iname '*.msstyles' -o -iname '*.manifest' \) -print0 |
    xargs -0 -r cp -p --parents --remove-destination -t "$to")
}

# Makes sure a prefix exists, with the font replacements: a copy of $MIVOLA_PREFIX_TEMPLATE when
# that is set (under a second), else created with wineboot (about 20 s). 64-bit, so both
# architectures run in it. Safe when several programs ask for the same prefix at once.
wine_prefix_ensure() {
  local prefix=$1
  [ -f "$prefix/.mivola-fonts" ] && return 0
  mkdir -p "$(dirname "$prefix")"
  (
    flock 9
    if [ ! -f "$prefix/system.reg" ] && [ -n "${MIVOLA_PREFIX_TEMPLATE:-}" ] &&
       [ -f "$MIVOLA_PREFIX_TEMPLATE/.mivola-fonts" ]; then
      rm -rf "$prefix.new"
      wine_prefix_clone "$MIVOLA_PREFIX_TEMPLATE" "$prefix.new"
      rm -rf "$prefix" && mv "$prefix.new" "$prefix"
    fi
    if [ ! -f "$prefix/system.reg" ]; then
      mkdir -p "$prefix"
      WINEPREFIX="$prefix" LC_ALL=C WINEARCH=win64 "$WINE_LOADER64" wineboot -i >/dev/null 2>&1 || true
      WINEPREFIX="$prefix" "$WINESERVER" -w || true
    fi
    if [ ! -f "$prefix/.mivola-fonts" ]; then
      wine_prefix_fonts "$prefix" || true
      WINEPREFIX="$prefix" "$WINESERVER" -w || true
    fi
  ) 9>"$prefix.lock"
}

# The prefix a program of a build tree runs in: $WINEPREFIX when set; inside a parallel test run
# (scripts/test sets MIVOLA_TEST_PREFIXES) the current test's own one, so that programs running
# at the same time never share named objects, registry or temporary files; else the tree's own.
#   wine_run_prefix TREE-PREFIX
wine_run_prefix() {
  if [ -n "${WINEPREFIX:-}" ]; then
    echo "$WINEPREFIX"
  elif [ -n "${MIVOLA_TEST_PREFIXES:-}" ] && [ -n "${MIVOLA_TEST:-}" ]; then
    echo "$MIVOLA_TEST_PREFIXES/$MIVOLA_TEST"
  else
    echo "$1"
  fi
}

# Stops the server of a prefix and everything running in it.
wine_server_stop() { WINEPREFIX="$1" "$WINESERVER" -k 2>/dev/null || true; }

# A prefix for the calling script: exported as WINEPREFIX, created if needed, its server started
# afresh and kept for the script's life, and stopped when the script exits. Scripts that need
# more at exit set their own trap and call wine_session_stop in it.
wine_session_start() {
  export WINEPREFIX=$1
  # A server left from an earlier run may hold a desktop on a display that is gone.
  wine_server_stop "$WINEPREFIX"
  wine_prefix_ensure "$WINEPREFIX"
  "$WINESERVER" -p || true
  trap wine_session_stop EXIT
}
wine_session_stop() { wine_server_stop "$WINEPREFIX"; }

# Starts the session's server afresh, for settings that take effect when the desktop starts.
wine_session_restart() {
  wine_server_stop "$WINEPREFIX"
  "$WINESERVER" -w 2>/dev/null || true
  "$WINESERVER" -p || true
}

#!/bin/sh
# Runs one program of the 64-bit Windows cross build under wine64, in a prefix of its own.
# Debian keeps the 64-bit loader out of PATH.
if [ -z "$WINE" ]; then
  if command -v wine64 >/dev/null 2>&1; then WINE=wine64; else WINE=/usr/lib/wine/wine64; fi
fi
export WINE
export WINEPREFIX="${WINEPREFIX:-$HOME/.wine64}"
exec "$(dirname "$0")/run_under_wine.sh" "$@"

#!/bin/sh
# Runs one Windows program of the cross build under wine: the emulator of the test programs.
# Quiet unless WINEDEBUG says otherwise, and without the Mono and Gecko installers that a new
# wine prefix would otherwise offer.
#
# Wine's own background processes live as long as the wineserver and keep the output of the
# program that started them open, so a test that starts them waits for the server to end. This
# script therefore starts the server itself, to stay a minute after its last program, and its
# background processes with a throwaway program whose output goes nowhere (the first such
# program also makes a missing wine prefix); each following program finds them running.
# WINE names the loader: wine (the default) for the 32-bit build, wine64 for the 64-bit one,
# which also keeps a prefix of its own.
wine="${WINE:-wine}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
if [ ! -d "${WINEPREFIX:-$HOME/.wine}" ] || wineserver -p60 </dev/null >/dev/null 2>&1; then
  "$wine" cmd.exe /c exit </dev/null >/dev/null 2>&1 || :
fi
exec "$wine" "$@"

# Sourced by the scripts that run the Windows build under Wine: one prefix for
# the build, made on first use without a question (no Mono, no Gecko), and
# Wine's own chatter kept off the output.
KEM_WINDOWS_BUILD="${KEM_WINDOWS_BUILD:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build-windows}"
export WINEPREFIX="${WINEPREFIX:-$KEM_WINDOWS_BUILD/wine-prefix}"
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEARCH=win64
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  wine wineboot --init >/dev/null 2>&1 || true
  wineserver -w
fi
# A wineserver of its own, detached from our output: one started by the first
# test would hold that test's output pipe open until the last test ended. It
# puts itself in the background once it serves (and leaves at once when one
# already runs), so the tests that follow find it.
wineserver -p30 </dev/null >/dev/null 2>&1 || true
# Likewise Wine's own services, which the first program of a session starts
# and which live as long as the server: started here, they hold no test's output.
wine cmd.exe /c exit </dev/null >/dev/null 2>&1 || true

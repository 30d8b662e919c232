#!/usr/bin/env bash
# The Windows release archive as a user gets it: unpacked into an empty
# folder, its contents and SHA-256 sums as listed, and its KEMEngine.prm loaded
# by the Windows development host under Wine, answering on the wire.
# Usage: package_test.sh BUILD_WINDOWS_DIR
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="$(cd "$1" && pwd)"
passes=0
failures=0
check() {  # check NAME EXPECTED ACTUAL
  if [ "$2" == "$3" ]; then echo "ok - $1"; passes=$((passes + 1)); else
    echo "not ok - $1"; diff <(echo "$2") <(echo "$3") | sed 's/^/    /' || true; failures=$((failures + 1)); fi
}

zip="$(ls "$build"/package/KEMEngine-*-windows-x64.zip)"
name="$(basename "$zip" .zip)"
unpacked="$(mktemp -d)"
trap 'rm -rf "$unpacked"' EXIT
(cd "$unpacked" && unzip -q "$zip")

check "the archive holds the module, the two scripts, INSTALL.txt, the example and the sums" \
  "$(printf '%s\n' INSTALL.txt KEMEngine.prm SHA256SUMS.txt install.ps1 origins.example.txt uninstall.ps1)" \
  "$(cd "$unpacked/$name" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)"
check "every file matches SHA256SUMS.txt" "0" \
  "$(cd "$unpacked/$name" && sha256sum --quiet -c SHA256SUMS.txt >/dev/null 2>&1; echo $?)"
check "SHA256SUMS.txt lists every other file" "5" "$(wc -l < "$unpacked/$name/SHA256SUMS.txt" | tr -d ' ')"
check "the .sha256 beside the archive is the archive's" "$(sha256sum "$zip" | cut -d' ' -f1)" \
  "$(cut -d' ' -f1 "$zip.sha256")"
check "the install script refuses to run unelevated" "1" \
  "$(grep -c 'IsInRole(\[Security.Principal.WindowsBuiltInRole\]::Administrator)' "$unpacked/$name/install.ps1")"

# The unpacked module in the Windows development host, under Wine.
coproc HOST { "$root/scripts/wine-devhost.sh" --no-panel --plugin "$unpacked/$name/KEMEngine.prm" 2>/dev/null; }
read -r -t 60 ready <&"${HOST[0]}" || ready="(nothing)"
check "the unpacked KEMEngine.prm loads and listens" "ready listening" "$ready"
answer="$(cd "$root/tests/e2e" && node -e '
  const WebSocket = require("ws");
  const ws = new WebSocket("ws://127.0.0.1:7890/");
  const give = (t) => { console.log(t); process.exit(0); };
  ws.on("open", () => ws.send("get.version"));
  ws.on("message", (m) => give(String(m)));
  ws.on("error", (e) => give("error: " + e.message));
  setTimeout(() => give("no reply"), 10000);')"
check "it answers get.version on the wire" "version:1.2.4" "$answer"
echo quit >&"${HOST[1]}"
read -r -t 30 bye <&"${HOST[0]}" || bye="(nothing)"
check "it ends through the orderly path" "bye" "$bye"
wait "$HOST_PID" 2>/dev/null || true

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]

#!/usr/bin/env bash
# Runs the Windows build's tests under Wine: the GoogleTest programs through
# CTest (Wine is the build's test emulator), then the Node client tests once
# more against the Windows development host.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
. "$root/scripts/wine-env.sh"

echo "== Windows build under $(wine --version 2>/dev/null || echo Wine), prefix $WINEPREFIX"
ctest --test-dir "$KEM_WINDOWS_BUILD" --output-on-failure -j2

# The release archive, unpacked as a user would, its module answering under Wine.
(cd "$KEM_WINDOWS_BUILD" && cpack >/dev/null)
bash "$root/tests/install/package_test.sh" "$KEM_WINDOWS_BUILD"

# The Windows engine answers get.info with "platform":"win"; the allowlist it
# reads lives in Wine's APPDATA, so the kem-doctor and browser tests, which
# arrange a HOME of their own, stay with the Linux build.
cd "$root/tests/e2e"
KEM_DEVHOST="$root/scripts/wine-devhost.sh" KEM_EXPECT_PLATFORM=win \
  node --test --test-concurrency=1 client.test.mjs protocol.test.mjs docs.test.mjs package.test.mjs

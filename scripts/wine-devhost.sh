#!/usr/bin/env bash
# The Windows development host under Wine, with the arguments and standard
# streams of the Linux one: the Node client tests run against it through
# KEM_DEVHOST. Wine's process takes this one's place, so the tests' quit line
# and the end of the process reach the Windows program itself.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
exec wine "$KEM_WINDOWS_BUILD/kem-devhost.exe" "$@"

#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, and only those
# that are missing. Used by `make`; safe to run again.
set -euo pipefail

# macOS: Homebrew, never apt-get. The system's clang builds everything; the
# Linux-only names (Chromium, Wine, mingw-w64) have no place there and are
# skipped: the browser tests take KEM_CHROMIUM, the Windows build is Linux's.
if [ "$(uname -s)" = Darwin ]; then
  command -v brew >/dev/null || { echo "install Homebrew first (https://brew.sh)" >&2; exit 1; }
  for formula in cmake ninja googletest nlohmann-json node; do
    brew list --versions "$formula" >/dev/null 2>&1 || brew install "$formula" >&2
  done
  exit 0
fi

# --no-recommends: only what the named packages need (Wine recommends a
# desktop's worth of libraries that a console test run never loads).
apt_options=()
if [ "${1:-}" = "--no-recommends" ]; then
  apt_options+=(--no-install-recommends)
  shift
fi

packages=(g++ cmake ninja-build libgtest-dev libssl-dev nlohmann-json3-dev)
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# Node.js may come from another repository that bundles npm: ask for the commands, not the packages.
command -v node >/dev/null || missing+=(nodejs)
command -v npm >/dev/null || missing+=(npm)
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "missing packages: ${missing[*]} (run as root, or install them with apt-get install -y)" >&2
  exit 1
fi
echo "installing: ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq "${apt_options[@]}" "${missing[@]}" >/dev/null

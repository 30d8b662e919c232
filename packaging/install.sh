#!/bin/sh
# Installs KEM Engine into the editing host on macOS: KEMEngine.bundle into the
# host's control-surface plug-in folder, and your allowlist folder with an
# example origins.txt when there is none (an existing one is never touched).
#   sudo ./install.sh
set -eu
plugin_dir="${KEM_PLUGIN_DIR:-/Library/Application Support/Adobe/Common/Plug-ins/ControlSurface}"
here="$(cd "$(dirname "$0")" && pwd)"

if [ "$(id -u)" -ne 0 ]; then
  echo "The plug-in folder belongs to the system: run it as  sudo $0" >&2
  exit 1
fi
if [ ! -d "$here/KEMEngine.bundle" ]; then
  echo "KEMEngine.bundle is not beside this script ($here): unpack the whole archive first." >&2
  exit 1
fi

mkdir -p "$plugin_dir"
rm -rf "$plugin_dir/KEMEngine.bundle"
ditto "$here/KEMEngine.bundle" "$plugin_dir/KEMEngine.bundle"
# A download carries the quarantine flag; the host would refuse to load the bundle.
xattr -dr com.apple.quarantine "$plugin_dir/KEMEngine.bundle" 2>/dev/null || true
echo "Installed: $plugin_dir/KEMEngine.bundle"

user="${SUDO_USER:-}"
if [ -n "$user" ] && [ "$user" != root ]; then
  home="$(dscl . -read "/Users/$user" NFSHomeDirectory 2>/dev/null | awk '{print $2}')"
  allow_dir="$home/Library/Application Support/KEM Engine"
  if [ -e "$allow_dir/origins.txt" ]; then
    echo "Kept: $allow_dir/origins.txt"
  else
    mkdir -p "$allow_dir"
    cp "$here/origins.example.txt" "$allow_dir/origins.txt"
    chown -R "$user" "$allow_dir"
    echo "Created: $allow_dir/origins.txt (an example, all comments)"
  fi
fi
echo "Start the editing host, then check it: npx kem-doctor --check"

#!/bin/sh
# Removes KEM Engine from the editing host on macOS. Your allowlist
# (origins.txt) is yours and stays.
#   sudo ./uninstall.sh
set -eu
plugin_dir="${KEM_PLUGIN_DIR:-/Library/Application Support/Adobe/Common/Plug-ins/ControlSurface}"
if [ "$(id -u)" -ne 0 ]; then
  echo "The plug-in folder belongs to the system: run it as  sudo $0" >&2
  exit 1
fi
if [ -d "$plugin_dir/KEMEngine.bundle" ]; then
  rm -rf "$plugin_dir/KEMEngine.bundle"
  echo "Removed: $plugin_dir/KEMEngine.bundle"
else
  echo "Not installed: no $plugin_dir/KEMEngine.bundle"
fi
echo "Kept: your origins.txt under ~/Library/Application Support/KEM Engine (delete it yourself if you no longer want it)"

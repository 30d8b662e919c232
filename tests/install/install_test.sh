#!/usr/bin/env bash
# cmake --install into a DESTDIR and the uninstall target, as `make install`
# and `make uninstall` run them: the files put in place, an existing
# origins.txt and another plug-in left untouched, and the folder left as it
# was before. Usage: install_test.sh BUILD_DIR
set -euo pipefail
build="$1"
stage="$(mktemp -d)"
failures=0
passes=0
# A real install's records in the build folder are kept aside and restored.
for f in install_manifest.txt install_created_dirs.txt; do
  [ -e "$build/$f" ] && mv "$build/$f" "$stage/saved-$f"
done
restore() {
  for f in install_manifest.txt install_created_dirs.txt; do
    rm -f "$build/$f"
    [ -e "$stage/saved-$f" ] && mv "$stage/saved-$f" "$build/$f"
  done
  rm -rf "$stage"
}
trap restore EXIT

plugin_dir="$(sed -n 's/^KEM_PLUGIN_DIR:PATH=//p' "$build/CMakeCache.txt")"
module="$(basename "$(ls "$build"/KEMEngine.*)")"
check() {  # check NAME EXPECTED ACTUAL
  if [ "$2" == "$3" ]; then echo "ok - $1"; passes=$((passes + 1)); else
    echo "not ok - $1"; diff <(echo "$2") <(echo "$3") | sed 's/^/    /' || true; failures=$((failures + 1)); fi
}
tree() { (cd "$1" && find . -mindepth 1 | LC_ALL=C sort); }

# 1. An empty root, a user without an allowlist.
root="$stage/fresh"; mkdir -p "$root"
HOME=/home/editor DESTDIR="$root" cmake --install "$build" >/dev/null
check "a fresh install puts the module and an example origins.txt in place" \
  "$(printf '%s\n' ".$plugin_dir/$module" "./home/editor/Library/Application Support/KEM Engine/origins.txt" | LC_ALL=C sort)" \
  "$(cd "$root" && find . -type f | LC_ALL=C sort)"
check "the example origins.txt is all comments" "" \
  "$(grep -v '^#' "$root/home/editor/Library/Application Support/KEM Engine/origins.txt" | tr -d '[:space:]')"
DESTDIR="$root" cmake --build "$build" --target uninstall >/dev/null
check "uninstalling leaves only the user's allowlist folder" \
  "$(printf '%s\n' ./home ./home/editor ./home/editor/Library "./home/editor/Library/Application Support" \
      "./home/editor/Library/Application Support/KEM Engine" \
      "./home/editor/Library/Application Support/KEM Engine/origins.txt")" \
  "$(tree "$root")"

# 2. A plug-in folder that holds another plug-in, and the user's own origins.txt.
root="$stage/lived-in"
allow="$root/home/editor/Library/Application Support/KEM Engine"
mkdir -p "$root$plugin_dir" "$allow"
echo "other" > "$root$plugin_dir/Other.plugin"
printf 'panel.studio.example\n' > "$allow/origins.txt"
before="$(tree "$root")"
HOME=/home/editor DESTDIR="$root" cmake --install "$build" >/dev/null
check "the user's origins.txt is untouched by install" "panel.studio.example" "$(cat "$allow/origins.txt")"
check "install adds the module beside the other plug-in" \
  "$(printf '%s\n' "$module" Other.plugin | LC_ALL=C sort)" "$(ls "$root$plugin_dir" | LC_ALL=C sort)"
DESTDIR="$root" cmake --build "$build" --target uninstall >/dev/null
check "uninstall leaves the tree as it was before" "$before" "$(tree "$root")"
check "the user's origins.txt is untouched by uninstall" "panel.studio.example" "$(cat "$allow/origins.txt")"

# 3. KEM_ALLOWLIST_DIR names the allowlist folder; no HOME makes none.
root="$stage/elsewhere"; mkdir -p "$root"
env -u HOME KEM_ALLOWLIST_DIR=/srv/kem DESTDIR="$root" cmake --install "$build" >/dev/null
check "KEM_ALLOWLIST_DIR is where the example goes" "./srv/kem/origins.txt" \
  "$(cd "$root" && find . -name origins.txt)"
DESTDIR="$root" cmake --build "$build" --target uninstall >/dev/null
rm -rf "${root:?}"/*
env -u HOME DESTDIR="$root" cmake --install "$build" >/dev/null
check "without HOME no allowlist folder is made" "" "$(cd "$root" && find . -name origins.txt)"
DESTDIR="$root" cmake --build "$build" --target uninstall >/dev/null

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]

#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a desktop user
# gets: the program, its data folder, a valid desktop entry that starts the
# program in that folder, the icon and the AppStream metadata.
#   check_install.sh BUILD_DIR
set -euo pipefail
build=${1:?usage: check_install.sh BUILD_DIR}
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null

fail() { echo "check_install: $*" >&2; exit 1; }
app_id=example.vennali.Vennali
for f in \
  bin/vennali \
  share/vennali/songci.idb \
  "share/vennali/使用说明.txt" \
  "share/applications/$app_id.desktop" \
  "share/metainfo/$app_id.metainfo.xml" \
  "share/icons/hicolor/256x256/apps/$app_id.png"; do
  [ -e "$prefix/$f" ] || fail "missing $f"
done
[ -x "$prefix/bin/vennali" ] || fail "bin/vennali is not executable"
cmp -s "$build/run/songci.idb" "$prefix/share/vennali/songci.idb" || fail "songci.idb differs from the built one"

desktop="$prefix/share/applications/$app_id.desktop"
desktop-file-validate "$desktop" || fail "desktop-file-validate refused the entry"
grep -qx "Exec=$prefix/bin/vennali" "$desktop" || fail "Exec does not name the installed program"
grep -qx "Path=$prefix/share/vennali" "$desktop" || fail "Path is not the data folder"
grep -qx "Icon=$app_id" "$desktop" || fail "Icon is not the application id"

if command -v appstreamcli >/dev/null 2>&1; then
  appstreamcli validate --no-net --pedantic "$prefix/share/metainfo/$app_id.metainfo.xml" >/dev/null \
    || appstreamcli validate --no-net "$prefix/share/metainfo/$app_id.metainfo.xml" \
    || fail "appstreamcli refused the metainfo"
fi
echo "check_install: layout, desktop entry and metainfo are fine"

#!/usr/bin/env bash
# Usage: install_test.sh BUILD_DIR APP_ID. Installs the build into a temporary prefix and checks what
# landed there. A validator that is missing is reported and makes the test "skipped" (77), so a
# machine without it never passes silently; scripts/install-deps installs them all.
set -uo pipefail

build=${1:?usage: install_test.sh BUILD_DIR APP_ID}
app_id=${2:?usage: install_test.sh BUILD_DIR APP_ID}
prefix=$(mktemp -d "${TMPDIR:-/tmp}/kestrova-install-XXXXXX")
trap 'rm -rf "$prefix"' EXIT

failures=0
missing_tools=()
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
# Runs a validator; a non-zero status or a warning or error in its output is a failure.
validate() {
  local tool=$1 what=$2
  shift 2
  if ! command -v "$tool" >/dev/null; then
    missing_tools+=("$tool")
    return
  fi
  local output
  if ! output=$("$@" 2>&1) || grep -qiE 'warning|error' <<<"$output"; then
    fail "$what: $output"
  fi
}

if ! cmake --install "$build" --prefix "$prefix" >/dev/null; then
  echo "FAIL: cmake --install $build --prefix $prefix"
  exit 1
fi

program=$prefix/bin/kestrova
desktop=$prefix/share/applications/$app_id.desktop
icon=$prefix/share/icons/hicolor/scalable/apps/kestrova.svg
metainfo=$prefix/share/metainfo/$app_id.metainfo.xml
manpage=$prefix/share/man/man1/kestrova.1
for file in "$program" "$desktop" "$icon" "$metainfo" "$manpage"; do
  [ -s "$file" ] || fail "not installed: ${file#"$prefix"/}"
done
[ "$failures" -eq 0 ] || exit 1

# The installed program runs from there without a display.
version=$(env -u DISPLAY -u WAYLAND_DISPLAY "$program" --version) || fail "kestrova --version"
[[ $version == Kestrova* ]] || fail "kestrova --version printed: $version"
help=$(env -u DISPLAY -u WAYLAND_DISPLAY "$program" --help) || fail "kestrova --help"
for option in --import-settings --export-settings; do
  [[ $help == *"$option"* ]] || fail "--help does not list $option"
done

# The pieces point at each other: the entry starts the installed program with the installed
# icon, and the metadata names the entry and the program.
desktop_key() { sed -n "s/^$1=//p" "$desktop"; }
[ -x "$prefix/bin/$(desktop_key Exec | cut -d' ' -f1)" ] || fail "Exec names no installed program"
[ -e "$prefix/share/icons/hicolor/scalable/apps/$(desktop_key Icon).svg" ] ||
  fail "Icon names no installed icon"
grep -q "<id>$app_id</id>" "$metainfo" || fail "metainfo id is not $app_id"
grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" ||
  fail "metainfo does not launch $app_id.desktop"
grep -q '@[A-Z_]*@' "$metainfo" "$manpage" && fail "an unconfigured @VARIABLE@ was installed"
read -r _ number _ <<<"$version"
grep -q "\"Kestrova $number\"" "$manpage" || fail "man page is not of version $number"

validate desktop-file-validate "desktop-file-validate" desktop-file-validate "$desktop"
validate appstreamcli "appstreamcli validate" appstreamcli validate --no-net --no-color "$metainfo"
validate groff "groff on the man page" env LC_ALL=C.UTF-8 groff -man -Tutf8 -ww -z "$manpage"

if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
if [ ${#missing_tools[@]} -gt 0 ]; then
  echo "Not checked, missing: ${missing_tools[*]} (scripts/install-deps installs them)"
  exit 77
fi
echo "installed and validated"

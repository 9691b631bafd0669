#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks what a desktop reads
# there: the menu entry, the AppStream metadata, the WRD type and the icon at
# every size, with the freedesktop validators and against one another.
#   check_desktop_files.sh BUILD_DIR APP_ID VERSION
# Exits 77 (skipped) when a validator is missing.
set -euo pipefail
build=$1 id=$2 version=$3

for tool in desktop-file-validate appstreamcli xmllint; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is not installed (scripts/setup.sh installs it for the tests)"
    exit 77
  fi
done

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
share=$prefix/share
failed=0
fail() {
  echo "FAIL: $*" >&2
  failed=1
}

desktop=$share/applications/$id.desktop
metainfo=$share/metainfo/$id.metainfo.xml
mime=$share/mime/packages/$id.xml
for f in "$prefix/bin/velkan" "$prefix/bin/velkan-tool" "$desktop" "$metainfo" "$mime" \
  "$share/velkan/help/index.html"; do
  [[ -f $f ]] || fail "not installed: ${f#"$prefix"/}"
done

# Its hints (a menu category missing, say) leave the status 0: any word fails.
said=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate $id.desktop"
[[ -z $said ]] || fail "desktop-file-validate $id.desktop: $said"
appstreamcli validate --no-net --no-color "$metainfo" || fail "appstreamcli validate $id.metainfo.xml"
xmllint --noout "$mime" || fail "xmllint $id.xml"

# The entry, the metadata and the type name one another.
entry() { sed -n "s/^$1=//p" "$desktop"; }
[[ $(entry Icon) == "$id" ]] || fail "Icon= is '$(entry Icon)', not $id"
[[ $(entry Exec) == "velkan %f" ]] || fail "Exec= is '$(entry Exec)'"
type=$(sed -n 's/.*<mime-type type="\([^"]*\)".*/\1/p' "$mime")
[[ $(entry MimeType) == "$type;" ]] || fail "MimeType= is '$(entry MimeType)', the package defines '$type'"
grep -q "<glob pattern=\"\*\.wrd\"/>" "$mime" || fail "the type does not take *.wrd"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
  fail "the metadata does not launch $id.desktop"
grep -q "<mediatype>$type</mediatype>" "$metainfo" || fail "the metadata does not provide $type"
grep -q "<release version=\"$version\"" "$metainfo" || fail "the metadata's release is not $version"

# Each PNG is the size its folder names: the width and height of its header.
png_size() { od -An -tu1 -j16 -N8 "$1" | awk '{print $3*256+$4 "x" $7*256+$8}'; }
for size in 16 32 48 64 128 256; do
  png=$share/icons/hicolor/${size}x${size}/apps/$id.png
  if [[ ! -f $png ]]; then
    fail "no ${size}x${size} icon"
  elif [[ $(png_size "$png") != "${size}x${size}" ]]; then
    fail "the ${size}x${size} icon is $(png_size "$png")"
  fi
done
svg=$share/icons/hicolor/scalable/apps/$id.svg
[[ -f $svg ]] || fail "no scalable icon"
[[ -f $svg ]] && { xmllint --noout "$svg" || fail "xmllint $id.svg"; }

((failed == 0)) && echo "Installed desktop files are valid."
exit "$failed"

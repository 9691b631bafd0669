#!/usr/bin/env bash
# Builds the Debian package of the build, installs it with apt as a user
# would, checks what it put where, runs both programs, and removes it again:
# the machine's set of installed packages is the same afterwards.
#   check_deb_package.sh BUILD_DIR CPACK APP_ID VERSION
# Exits 77 (skipped) when not root, when apt, dpkg-deb or cpack is missing,
# or when a velkan package is installed already (it is left alone).
set -euo pipefail
build=$1 cpack=$2 id=$3 version=$4

skip() {
  echo "SKIP: $*"
  exit 77
}
[[ $(id -u) -eq 0 ]] || skip "installing a package needs root"
for tool in apt-get dpkg-deb dpkg-query "$cpack"; do
  command -v "$tool" >/dev/null || skip "$tool is missing"
done
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
installed velkan && skip "a velkan package is installed already"

work=$(mktemp -d)
chmod 755 "$work" # apt reads the package as its own user
export DEBIAN_FRONTEND=noninteractive
apt=(apt-get -y -q -o DPkg::Lock::Timeout=300)
packages() { dpkg-query -W -f='${db:Status-Abbrev} ${Package}\n' | awk '$1 == "ii" {print $2}' | sort; }
packages >"$work/before"
touch "$work/brought"
cleanup() {
  # velkan, and whatever its installation brought along (nothing on a
  # machine set up by scripts/setup.sh).
  if installed velkan; then
    "${apt[@]}" remove velkan >/dev/null || true
  fi
  mapfile -t extra <"$work/brought"
  if ((${#extra[@]} > 0)); then
    echo "Removing what the package brought along: ${extra[*]}"
    "${apt[@]}" remove "${extra[@]}" >/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

start=$SECONDS
"$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; exit 1; }
deb=$work/out/velkan_${version}_$(dpkg --print-architecture).deb
[[ -f $deb ]] || { echo "FAIL: cpack made no $(basename "$deb")"; ls "$work/out"; exit 1; }
echo "Built $(basename "$deb"): $(stat -c %s "$deb") bytes in $((SECONDS - start)) s"
echo "Depends: $(dpkg-deb -f "$deb" Depends)"

failed=0
fail() {
  echo "FAIL: $*" >&2
  failed=1
}
[[ $(dpkg-deb -f "$deb" Section) == sound ]] || fail "section is not sound"
dpkg-deb -f "$deb" Depends | grep -q libqt6widgets6 || fail "Depends does not name Qt's widgets"
dpkg-deb -f "$deb" Depends | grep -q libfluidsynth || fail "Depends does not name FluidSynth"
dpkg-deb -f "$deb" Recommends | grep -q soundfont || fail "Recommends names no SoundFont"

start=$SECONDS
"${apt[@]}" install "$deb" >"$work/apt.log" 2>&1 || { cat "$work/apt.log"; exit 1; }
echo "Installed with apt in $((SECONDS - start)) s"
packages | comm -13 "$work/before" - | grep -vx velkan >"$work/brought" || true

for f in /usr/bin/velkan /usr/bin/velkan-tool "/usr/share/applications/$id.desktop" \
  "/usr/share/metainfo/$id.metainfo.xml" "/usr/share/mime/packages/$id.xml" \
  "/usr/share/icons/hicolor/scalable/apps/$id.svg" "/usr/share/icons/hicolor/16x16/apps/$id.png" \
  "/usr/share/icons/hicolor/256x256/apps/$id.png" /usr/share/velkan/help/index.html; do
  [[ -f $f ]] || fail "not installed: $f"
  dpkg-query -S "$f" >/dev/null 2>&1 || fail "$f does not belong to the package"
done
# The system's MIME database took the WRD type in.
if [[ -f /usr/share/mime/globs2 ]]; then
  grep -q ':text/x-wrd:\*\.wrd$' /usr/share/mime/globs2 || fail "the MIME database has no *.wrd"
fi

tool_version=$(/usr/bin/velkan-tool --version) || fail "velkan-tool --version failed"
[[ $tool_version == "velkan-tool $version" ]] || fail "velkan-tool --version says '$tool_version'"
home=$work/home
mkdir -p "$home"
run() {
  env HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_RUNTIME_DIR="$home" \
    QT_QPA_PLATFORM=offscreen VELKAN_AUDIO_DRIVER=file "$@"
}
editor_version=$(run /usr/bin/velkan --version 2>/dev/null) || fail "velkan --version failed"
[[ $editor_version == "Velkan $version"* ]] || fail "velkan --version says '$editor_version'"
# Started as from the menu, it is still running a second later.
rc=0
run timeout 2 /usr/bin/velkan >"$work/run.log" 2>&1 || rc=$?
[[ $rc -eq 124 ]] || { fail "velkan ended with $rc within two seconds"; cat "$work/run.log"; }

start=$SECONDS
"${apt[@]}" remove velkan >/dev/null
echo "Removed in $((SECONDS - start)) s"
if [[ -s $work/brought ]]; then
  mapfile -t extra <"$work/brought"
  "${apt[@]}" remove "${extra[@]}" >/dev/null
  : >"$work/brought"
fi
installed velkan && fail "velkan is still installed"
[[ -e /usr/bin/velkan ]] && fail "/usr/bin/velkan is still there"
packages >"$work/after"
diff "$work/before" "$work/after" || fail "the installed packages differ from before"
exit "$failed"

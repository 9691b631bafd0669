#!/usr/bin/env bash
# Installs the Debian packages Velkan needs to build, run and test, if any are
# missing. Uses apt-get as root, or through sudo.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev qt6-translations-l10n
  libfluidsynth-dev timgm6mb-soundfont
  fonts-ipafont-gothic
  libgtest-dev googletest libbenchmark-dev
)
# The tests check saved scripts against a real WRD player, the installed
# desktop files with the freedesktop validators, and build the Debian package
# (dpkg-shlibdeps finds its dependencies); CI checks the sources' format.
if [[ "${VELKAN_FOR_TESTS:-0}" == 1 ]]; then
  PACKAGES+=(timidity clang-format desktop-file-utils appstream libxml2-utils dpkg-dev)
fi
if [[ "${VELKAN_WITH_FUZZ:-0}" == 1 ]]; then
  PACKAGES+=(clang libclang-rt-14-dev)
fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if ((${#missing[@]} == 0)); then
  exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=()
if [[ $(id -u) -ne 0 ]]; then
  SUDO=(sudo)
fi
"${SUDO[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${SUDO[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"

# `cpack -G DEB` in the build directory makes a Debian package of what
# `cmake --install` installs, under /usr. The libraries it links are found by
# dpkg-shlibdeps (dpkg-dev) and become its Depends.
# The package holds what was built: cpack does not first build every test and
# benchmark (`./run.sh` builds the two programs alone).
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_PACKAGE_NAME velkan)
set(CPACK_PACKAGE_VENDOR "Velkan")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "editor for WRD lyric scripts shown beside MIDI songs")
set(CPACK_PACKAGE_CONTACT "Velkan developers <velkan@velkan.github.io>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://velkan.github.io/")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Sound needs a General MIDI SoundFont, the Japanese text a font that has it,
# and Qt's own dialogs speak Japanese with its translations.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
  "timgm6mb-soundfont | fluid-soundfont-gm | musescore-general-soundfont, fonts-ipafont-gothic, qt6-translations-l10n")
# The first line of the control file's description is the summary above.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Velkan edits WRD scripts: the Shift-JIS text files of lyric lines and
@-commands that a MIDI player reads beside a song to show the lyrics in step
with the music on an 80x25 text screen. Load a song and a lyrics text, play
the song and tap the space bar as each line is sung, then place, colour and
reveal the lyrics and save the script. Its messages are in Japanese.

The package also holds velkan-tool, which checks, shifts and traces scripts
from the command line.")

include(CPack)

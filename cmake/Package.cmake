# `make package`: a Debian package of everything `cmake --install` installs, made by CPack. The
# version is the program's own (CurrentVersion in src/update/Update.h, 324 = 3.2.4).
file(STRINGS ${PROJECT_SOURCE_DIR}/src/update/Update.h WM_VERSION_LINE
    REGEX "constexpr int CurrentVersion = [0-9]+;")
string(REGEX MATCH "CurrentVersion = ([0-9]+)" WM_VERSION_MATCH "${WM_VERSION_LINE}")
set(WM_VERSION_NUMBER ${CMAKE_MATCH_1})
string(REGEX REPLACE "([0-9])" "\\1." WM_VERSION_DOTTED "${WM_VERSION_NUMBER}")
string(REGEX REPLACE "\\.$" "" WM_VERSION_DOTTED "${WM_VERSION_DOTTED}")

set(WINTERMOOT_PACKAGE_MAINTAINER "Wintermoot developers <wintermoot@users.noreply.github.com>"
    CACHE STRING "Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME wintermoot)
set(CPACK_PACKAGE_VERSION ${WM_VERSION_DOTTED})
set(CPACK_PACKAGE_VENDOR "The Wintermoot developers")
set(CPACK_PACKAGE_CONTACT "${WINTERMOOT_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "chess game against a friend, the computer or a network opponent")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${WINTERMOOT_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://github.com/wintermoot/wintermoot")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "stockfish")
# Qt's own texts (the standard buttons, the file dialogs) in the interface language.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
# The long description; CPack puts the summary above it, indents its lines and turns the empty
# lines into " .".
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Wintermoot is a desktop chess game. Two people can play at one machine, a
person can play the computer at three strengths or a UCI chess engine, and
two people can play on two machines over TCP with a chat beside the board.

Every move is checked against the rules of chess. Moves are shown in four
notations, each side has a clock, moves can be taken back, and games can be
paused, saved, loaded, opened from PGN files and kept in a history that can
be exported as text or PGN. The interface is in English, French, German and
Spanish, with twenty piece sets, board themes and sounds.

The package also holds wintermoot-cli (the rules, the computer player and the
saved games on the command line), wintermoot-engine (the computer player as a
UCI engine), wintermoot-server (the list of hosted network games) and
wintermoot-langtool (the language files).")

include(CPack)

# Data shipped with the program, and `cmake --install`. The program looks for its read-only data
# next to its binary (the build tree) and in <prefix>/share/wintermoot (an installed copy).
include(GNUInstallDirs)

set(WM_SHARE_DIR ${CMAKE_INSTALL_DATADIR}/wintermoot)
set(WM_RESOURCES ${PROJECT_SOURCE_DIR}/resources)
set(WM_BIN_DIR ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})

# Copies of the shipped data next to the binaries, so that the program finds them when run from
# the build tree.
set(WM_DATA_OUTPUTS ${WM_BIN_DIR}/Help.html)
add_custom_command(OUTPUT ${WM_BIN_DIR}/Help.html
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${WM_RESOURCES}/Help.html ${WM_BIN_DIR}/Help.html
    DEPENDS ${WM_RESOURCES}/Help.html
    COMMENT "Copying Help.html"
    VERBATIM)
if(EXISTS ${WM_RESOURCES}/pieces/SOURCES.md)
    list(APPEND WM_DATA_OUTPUTS ${WM_BIN_DIR}/pieces/SOURCES.md)
    add_custom_command(OUTPUT ${WM_BIN_DIR}/pieces/SOURCES.md
        COMMAND ${CMAKE_COMMAND} -E make_directory ${WM_BIN_DIR}/pieces
        COMMAND ${CMAKE_COMMAND} -E copy_if_different ${WM_RESOURCES}/pieces/SOURCES.md
            ${WM_BIN_DIR}/pieces/SOURCES.md
        DEPENDS ${WM_RESOURCES}/pieces/SOURCES.md
        COMMENT "Copying the piece set credits"
        VERBATIM)
endif()
# The six default sounds, in bin/sounds.
set(WM_SOUNDS chimes.wav notify.wav chord.wav tada.wav ding.wav ringout.wav)
foreach(sound ${WM_SOUNDS})
    list(APPEND WM_DATA_OUTPUTS ${WM_BIN_DIR}/sounds/${sound})
    add_custom_command(OUTPUT ${WM_BIN_DIR}/sounds/${sound}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${WM_BIN_DIR}/sounds
        COMMAND ${CMAKE_COMMAND} -E copy_if_different ${WM_RESOURCES}/sounds/${sound}
            ${WM_BIN_DIR}/sounds/${sound}
        DEPENDS ${WM_RESOURCES}/sounds/${sound}
        COMMENT "Copying sounds/${sound}"
        VERBATIM)
endforeach()
# The named board themes copied to a user's config folder when they have none yet.
list(APPEND WM_DATA_OUTPUTS ${WM_BIN_DIR}/Themes.ini)
add_custom_command(OUTPUT ${WM_BIN_DIR}/Themes.ini
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${WM_RESOURCES}/Themes.ini ${WM_BIN_DIR}/Themes.ini
    DEPENDS ${WM_RESOURCES}/Themes.ini
    COMMENT "Copying Themes.ini"
    VERBATIM)
add_custom_target(wm_data ALL DEPENDS ${WM_DATA_OUTPUTS})
foreach(target wintermoot test_ui_forms test_ui_main test_ui_sounds test_ui_themes)
    if(TARGET ${target})
        add_dependencies(${target} wm_data)
    endif()
endforeach()

# An installed program also finds its data through the prefix it was configured for.
target_compile_definitions(wm_settings PRIVATE
    WINTERMOOT_DATADIR="${CMAKE_INSTALL_FULL_DATADIR}/wintermoot")

install(TARGETS wintermoot wintermoot-cli wintermoot-engine wintermoot-server RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${WM_RESOURCES}/Help.html DESTINATION ${WM_SHARE_DIR})
install(FILES ${WM_RESOURCES}/Themes.ini DESTINATION ${WM_SHARE_DIR})
install(FILES ${WM_RESOURCES}/pieces/SOURCES.md DESTINATION ${WM_SHARE_DIR}/pieces OPTIONAL)
list(TRANSFORM WM_SOUNDS PREPEND ${WM_RESOURCES}/sounds/ OUTPUT_VARIABLE WM_SOUND_FILES)
install(FILES ${WM_SOUND_FILES} DESTINATION ${WM_SHARE_DIR}/sounds)
install(FILES ${WM_RESOURCES}/wintermoot.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size 16 32 48 64 128 256)
    install(FILES ${WM_RESOURCES}/icons/wintermoot-${size}.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
        RENAME wintermoot.png)
endforeach()
install(FILES ${WM_RESOURCES}/icons/wintermoot.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${WM_RESOURCES}/io.github.wintermoot.Wintermoot.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
# The saved games' file type; update-mime-database (a trigger on Debian) adds it to the database.
install(FILES ${WM_RESOURCES}/wintermoot-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
    RENAME wintermoot.xml)

# The licences of the program and of the artwork it ships, in Debian's machine-readable form, and
# the package's change log, compressed as Debian wants both.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/wintermoot)
find_program(WM_GZIP gzip)
if(WM_GZIP)
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/changelog.Debian.gz
        COMMAND sh -c "\"$0\" -9nc \"$1\" > \"$2\"" ${WM_GZIP}
            ${PROJECT_SOURCE_DIR}/packaging/changelog ${CMAKE_BINARY_DIR}/changelog.Debian.gz
        DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog
        COMMENT "Compressing the package's change log"
        VERBATIM)
    add_custom_target(wm_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/changelog.Debian.gz)
    install(FILES ${CMAKE_BINARY_DIR}/changelog.Debian.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/wintermoot)
endif()

include(${CMAKE_CURRENT_LIST_DIR}/Manpages.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/Package.cmake)

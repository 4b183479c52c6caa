# The manual pages, written in scdoc in docs/man, built into <build>/man when scdoc is installed
# (scripts/install-deps installs it) and installed gzipped. Without scdoc the build goes on
# without them.
find_program(WM_SCDOC scdoc)
find_program(WM_GZIP gzip)
set(WM_MAN_PAGES wintermoot.6 wintermoot-cli.6 wintermoot-engine.6 wintermoot-server.6
    wintermoot-langtool.1)
if(WM_SCDOC AND WM_GZIP)
    set(WM_MAN_DIR ${CMAKE_BINARY_DIR}/man)
    set(WM_MAN_OUTPUTS)
    foreach(page ${WM_MAN_PAGES})
        set(source ${PROJECT_SOURCE_DIR}/docs/man/${page}.scd)
        add_custom_command(OUTPUT ${WM_MAN_DIR}/${page} ${WM_MAN_DIR}/${page}.gz
            COMMAND ${CMAKE_COMMAND} -E make_directory ${WM_MAN_DIR}
            COMMAND sh -c "\"$0\" < \"$1\" > \"$2\" && \"$3\" -9nc \"$2\" > \"$2.gz\""
                ${WM_SCDOC} ${source} ${WM_MAN_DIR}/${page} ${WM_GZIP}
            DEPENDS ${source}
            COMMENT "Building the manual page ${page}"
            VERBATIM)
        list(APPEND WM_MAN_OUTPUTS ${WM_MAN_DIR}/${page})
        string(REGEX REPLACE ".*\\.([0-9])$" "\\1" section ${page})
        install(FILES ${WM_MAN_DIR}/${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
    endforeach()
    add_custom_target(wm_man ALL DEPENDS ${WM_MAN_OUTPUTS})
else()
    message(STATUS "scdoc not found: the manual pages are not built")
endif()

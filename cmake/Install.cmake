# `cmake --install` lays the tool out as a desktop program under the prefix:
#   bin/tessaro, bin/tessaro-cli, bin/tessaro-unit
#   share/applications/nl.kestrum.Tessaro.desktop
#   share/icons/hicolor/scalable/apps/nl.kestrum.Tessaro.svg
#   share/metainfo/nl.kestrum.Tessaro.metainfo.xml
#   share/man/man1/tessaro.1.gz, tessaro-cli.1.gz, tessaro-unit.1.gz
#   share/doc/tessaro/copyright, changelog.gz
#   share/bash-completion/completions/tessaro-cli
# The sanitizer and fuzz builds only test: nothing of theirs is installed.
if(TESSARO_SANITIZE OR TESSARO_FUZZ)
    return()
endif()

set(TESSARO_APP_ID nl.kestrum.Tessaro)
set(TESSARO_DATA_DIR ${CMAKE_SOURCE_DIR}/data)

set(programs tessaro-cli)
foreach(program IN ITEMS tessaro tessaro-unit)
    if(TARGET ${program})
        list(APPEND programs ${program})
    endif()
endforeach()
install(TARGETS ${programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Where bash-completion loads a command's completion from when it is first used.
install(FILES ${TESSARO_DATA_DIR}/completion/tessaro-cli
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

if(TARGET tessaro)
    install(FILES ${TESSARO_DATA_DIR}/${TESSARO_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${TESSARO_DATA_DIR}/${TESSARO_APP_ID}.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
    install(FILES ${TESSARO_DATA_DIR}/${TESSARO_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endif()

# Man pages and the changelog go compressed, as Debian keeps them (gzip -n:
# no name or time stamp, so the same input gives the same file).
find_program(TESSARO_GZIP gzip)
set(compressed)
function(tessaro_gzip source output)
    if(TESSARO_GZIP)
        add_custom_command(OUTPUT ${output}
                           COMMAND ${TESSARO_GZIP} -9nc ${source} > ${output}
                           DEPENDS ${source} VERBATIM)
    else()
        configure_file(${source} ${output} COPYONLY)
    endif()
endfunction()

set(man_pages tessaro-cli)
foreach(program IN ITEMS tessaro tessaro-unit)
    if(TARGET ${program})
        list(APPEND man_pages ${program})
    endif()
endforeach()
set(man_outputs)
foreach(page IN LISTS man_pages)
    set(out ${CMAKE_BINARY_DIR}/data/man/${page}.1)
    if(TESSARO_GZIP)
        string(APPEND out .gz)
    endif()
    tessaro_gzip(${TESSARO_DATA_DIR}/man/${page}.1 ${out})
    list(APPEND man_outputs ${out})
endforeach()
set(changelog ${CMAKE_BINARY_DIR}/data/changelog)
if(TESSARO_GZIP)
    string(APPEND changelog .gz)
endif()
tessaro_gzip(${TESSARO_DATA_DIR}/changelog ${changelog})
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/data/man)
# Made by `cmake --build` (all) and so ready for `cmake --install` and cpack;
# run.sh builds only the window and skips them.
add_custom_target(tessaro_docs ALL DEPENDS ${man_outputs} ${changelog})

install(FILES ${man_outputs} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
set(TESSARO_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/tessaro)
install(FILES ${TESSARO_DATA_DIR}/copyright ${changelog} DESTINATION ${TESSARO_DOC_DIR})

# The three programs in one folder, build/bin: they find one home folder there
# (the program's folder), as the installed programs share the per-user one.
# Tests and the benchmark reach them through $<TARGET_FILE:...>.
foreach(program IN ITEMS tessaro tessaro-cli tessaro-unit)
    if(TARGET ${program})
        set_target_properties(${program} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${TESSARO_PROGRAM_DIR})
    endif()
endforeach()

if(TARGET tessaro)
    # The window's icon, the same SVG the desktop menu shows.
    set_source_files_properties(${CMAKE_SOURCE_DIR}/data/nl.kestrum.Tessaro.svg PROPERTIES QT_RESOURCE_ALIAS tessaro.svg)
    qt_add_resources(tessaro tessaro_icon PREFIX /icons BASE ${CMAKE_SOURCE_DIR}/data
                     FILES ${CMAKE_SOURCE_DIR}/data/nl.kestrum.Tessaro.svg)
endif()

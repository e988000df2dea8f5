# tessaro_tests: every program ctest runs, and the programs they start, and
# nothing else (no benchmark): what scripts/test.sh builds.
function(tessaro_collect_targets dir out)
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    foreach(sub IN LISTS subdirs)
        tessaro_collect_targets(${sub} more)
        list(APPEND targets ${more})
    endforeach()
    set(${out} ${targets} PARENT_SCOPE)
endfunction()

tessaro_collect_targets(${CMAKE_SOURCE_DIR}/tests TESSARO_TEST_TARGETS)
set(TESSARO_TEST_EXECUTABLES)
foreach(target IN LISTS TESSARO_TEST_TARGETS)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
        list(APPEND TESSARO_TEST_EXECUTABLES ${target})
    endif()
endforeach()
add_custom_target(tessaro_tests)
if(TESSARO_TEST_EXECUTABLES)
    add_dependencies(tessaro_tests ${TESSARO_TEST_EXECUTABLES})
endif()

# The test programs' own code needs no -O2 and full debug information; light
# optimisation and line tables compile it much faster. The code under test
# (the libraries) keeps the build type's flags.
if(CMAKE_BUILD_TYPE STREQUAL "RelWithDebInfo" AND CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    foreach(target IN LISTS TESSARO_TEST_EXECUTABLES)
        get_target_property(libraries ${target} LINK_LIBRARIES)
        if("Qt6::Test" IN_LIST libraries)
            target_compile_options(${target} PRIVATE -O1 -g1)
        endif()
    endforeach()
endif()

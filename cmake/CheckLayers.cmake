# Refuses an include against the layer order of src/CMakeLists.txt.
#
#   cmake -DSOURCE_DIR=<src> -DLAYERS=<entries> [-DWIDGET_LAYERS=<layers>]
#         [-DSTAMP=<file>] -P CheckLayers.cmake
#
# LAYERS lists the layers lowest first, entries separated by ',' and siblings
# within an entry by ' ' ("model,binding,...,cli ui"). A file of a layer may
# include its own folder and the layers of earlier entries, nothing else under
# SOURCE_DIR, whether quoted or in angle brackets; only the WIDGET_LAYERS may
# include a widget header. Each refused include is printed as "file:line: error: ..." and the script fails; when
# all is well it touches STAMP.

cmake_minimum_required(VERSION 3.22)

if(NOT SOURCE_DIR OR NOT LAYERS)
    message(FATAL_ERROR "CheckLayers.cmake needs -DSOURCE_DIR=... and -DLAYERS=...")
endif()
get_filename_component(SOURCE_DIR "${SOURCE_DIR}" ABSOLUTE)

string(REPLACE "," ";" entries "${LAYERS}")
string(REPLACE "," ";" widget_layers "${WIDGET_LAYERS}")
set(layers)
set(rank 0)
foreach(entry IN LISTS entries)
    string(REPLACE " " ";" names "${entry}")
    foreach(name IN LISTS names)
        set(rank_${name} ${rank})
        list(APPEND layers ${name})
    endforeach()
    math(EXPR rank "${rank} + 1")
endforeach()

# What a layer may include, for the message.
function(allowed_text layer out)
    set(below)
    foreach(other IN LISTS layers)
        if(rank_${other} LESS rank_${layer})
            list(APPEND below ${other})
        endif()
    endforeach()
    if(below)
        string(REPLACE ";" ", " below "${below}")
        set(${out} "its own folder and ${below}" PARENT_SCOPE)
    else()
        set(${out} "its own folder only" PARENT_SCOPE)
    endif()
endfunction()

set(refused 0)
foreach(layer IN LISTS layers)
    if(NOT IS_DIRECTORY "${SOURCE_DIR}/${layer}")
        continue()
    endif()
    set(widgets_allowed FALSE)
    if(layer IN_LIST widget_layers)
        set(widgets_allowed TRUE)
    endif()
    file(GLOB_RECURSE files LIST_DIRECTORIES false
         "${SOURCE_DIR}/${layer}/*.h" "${SOURCE_DIR}/${layer}/*.hpp" "${SOURCE_DIR}/${layer}/*.cpp"
         "${SOURCE_DIR}/${layer}/*.cc" "${SOURCE_DIR}/${layer}/*.cxx")
    list(SORT files)
    foreach(file IN LISTS files)
        get_filename_component(dir "${file}" DIRECTORY)
        file(RELATIVE_PATH shown "${SOURCE_DIR}/.." "${file}")
        file(READ "${file}" text)
        # One list element per line: characters that a CMake list treats
        # specially cannot occur in an include, so they are blanked first.
        string(REGEX REPLACE "[][;\\\\]" " " text "${text}")
        string(REPLACE "\n" ";" lines "${text}")
        set(number 0)
        foreach(line IN LISTS lines)
            math(EXPR number "${number} + 1")
            if(NOT line MATCHES "^[ \t]*#[ \t]*include[ \t]*([<\"])([^>\"]+)[>\"]")
                continue()
            endif()
            set(quoted "${CMAKE_MATCH_1}")
            set(header "${CMAKE_MATCH_2}")
            string(STRIP "${line}" statement)
            if(quoted STREQUAL "<")
                if(NOT widgets_allowed AND header MATCHES "^(QtWidgets|QWidget|QApplication)")
                    message(NOTICE "${shown}:${number}: error: ${layer} may not include a widget header "
                                   "(only ${WIDGET_LAYERS}): ${statement}")
                    math(EXPR refused "${refused} + 1")
                endif()
                # Every layer exports the source root as an include path, so
                # <layer/...> reaches a layer as a quoted include does.
                if(NOT EXISTS "${SOURCE_DIR}/${header}")
                    continue()
                endif()
                get_filename_component(target "${SOURCE_DIR}/${header}" ABSOLUTE)
            # A quoted include is found beside the file or from the source root.
            elseif(EXISTS "${dir}/${header}")
                get_filename_component(target "${dir}/${header}" ABSOLUTE)
            else()
                get_filename_component(target "${SOURCE_DIR}/${header}" ABSOLUTE)
            endif()
            file(RELATIVE_PATH relative "${SOURCE_DIR}" "${target}")
            if(NOT relative MATCHES "^([^/]+)/")
                continue()
            endif()
            set(used "${CMAKE_MATCH_1}")
            if(used STREQUAL layer OR NOT DEFINED rank_${used} OR rank_${used} LESS rank_${layer})
                continue()
            endif()
            allowed_text(${layer} allowed)
            message(NOTICE "${shown}:${number}: error: ${layer} may not include ${used} "
                           "(it may include ${allowed}): ${statement}")
            math(EXPR refused "${refused} + 1")
        endforeach()
    endforeach()
endforeach()

if(refused GREATER 0)
    message(FATAL_ERROR "${refused} include(s) against the layer order (src/CMakeLists.txt: TESSARO_LAYERS)")
endif()
if(STAMP)
    file(TOUCH "${STAMP}")
endif()

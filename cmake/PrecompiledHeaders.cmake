# Precompiled Qt headers: most of a compile here is parsing Qt's headers, the
# same ones in every file. One header set per kind of target, built once and
# reused by the targets of that kind (same compiler flags and Qt modules):
#   core    - tessaro_model; reused by the other core layers, tessaro_sim,
#             tessaro-cli, tessaro-unit, the benchmark and the replay/fuzz
#             programs;
#   window  - tessaro_ui; reused by tessaro;
#   tests   - the first QtTest program, reused by every other one; the
#             window's tests have one more with the widget headers.
# ccache does not cache a compile that uses a precompiled header unless it is
# told to, so with a compiler launcher the default is off.
if(CMAKE_CXX_COMPILER_LAUNCHER)
    set(tessaro_pch_default OFF)
else()
    set(tessaro_pch_default ON)
endif()
option(TESSARO_PCH "Precompile the Qt headers" ${tessaro_pch_default})
if(NOT TESSARO_PCH)
    return()
endif()

set(tessaro_core_headers
    <QByteArray> <QCoreApplication> <QDateTime> <QDir> <QFile> <QFileInfo> <QList> <QMap>
    <QObject> <QString> <QStringList> <QTimer>
    <algorithm> <array> <cstdint> <functional> <memory> <optional> <string> <variant> <vector>)
set(tessaro_widget_headers
    <QApplication> <QComboBox> <QHBoxLayout> <QLabel> <QLineEdit> <QMessageBox> <QPushButton>
    <QVBoxLayout> <QWidget>)

target_precompile_headers(tessaro_model PRIVATE ${tessaro_core_headers})

# A target reuses a donor's header only if it has no header set of its own.
function(tessaro_reuse_pch target donor)
    if(TARGET ${target} AND NOT target STREQUAL donor)
        get_target_property(own ${target} PRECOMPILE_HEADERS)
        get_target_property(reused ${target} PRECOMPILE_HEADERS_REUSE_FROM)
        if(NOT own AND NOT reused)
            target_precompile_headers(${target} REUSE_FROM ${donor})
        endif()
    endif()
endfunction()

foreach(target IN ITEMS tessaro_binding tessaro_files tessaro_link tessaro_protocol tessaro_sim tessaro-cli
                        tessaro-unit tessaro-bench)
    tessaro_reuse_pch(${target} tessaro_model)
endforeach()
if(TARGET tessaro_ui)
    target_precompile_headers(tessaro_ui PRIVATE ${tessaro_core_headers} ${tessaro_widget_headers})
    tessaro_reuse_pch(tessaro tessaro_ui)
endif()

# QtTest gives each test program its folders as macros (QT_TESTCASE_BUILDDIR,
# QT_TESTCASE_SOURCEDIR), and a precompiled header is only used with the same
# macros. The tests do not look up data by them (QFINDTESTDATA), so every test
# program gets the same two and one header serves all of a kind.
get_target_property(tessaro_qttest_definitions Qt6::Test INTERFACE_COMPILE_DEFINITIONS)
list(FILTER tessaro_qttest_definitions EXCLUDE REGEX "^QT_TESTCASE_(BUILD|SOURCE)DIR=")
list(APPEND tessaro_qttest_definitions "QT_TESTCASE_BUILDDIR=\"${CMAKE_BINARY_DIR}/tests\""
     "QT_TESTCASE_SOURCEDIR=\"${CMAKE_SOURCE_DIR}/tests\"")
set_target_properties(Qt6::Test PROPERTIES INTERFACE_COMPILE_DEFINITIONS "${tessaro_qttest_definitions}")

foreach(target IN LISTS TESSARO_TEST_EXECUTABLES)
    get_target_property(libraries ${target} LINK_LIBRARIES)
    if(NOT "Qt6::Test" IN_LIST libraries)
        # replay_* and fuzz_* programs: the core's headers, no QtTest.
        tessaro_reuse_pch(${target} tessaro_model)
        continue()
    endif()
    # A test of the report (Qt Gui, without widgets) is the only one of its
    # kind: a header of its own would cost more than it saves.
    if("tessaro_report" IN_LIST libraries AND NOT "tessaro_ui" IN_LIST libraries)
        continue()
    endif()
    set(kind core)
    set(headers ${tessaro_core_headers} <QtTest>)
    if("tessaro_ui" IN_LIST libraries)
        set(kind ui)
        set(headers ${tessaro_core_headers} ${tessaro_widget_headers} <QtTest>)
    endif()
    if(NOT DEFINED tessaro_test_donor_${kind})
        set(tessaro_test_donor_${kind} ${target})
        target_precompile_headers(${target} PRIVATE ${headers})
    else()
        tessaro_reuse_pch(${target} ${tessaro_test_donor_${kind}})
    endif()
endforeach()

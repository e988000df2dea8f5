# `cpack -G DEB` in the build folder: a Debian package of what Install.cmake
# lays out, under /usr. Its dependencies come from the programs' shared
# libraries (dpkg-shlibdeps), plus the Qt plugins that no program links but
# every window needs: the platform plugins and the SVG icon engine.
if(TESSARO_SANITIZE OR TESSARO_FUZZ)
    return()
endif()

set(CPACK_PACKAGE_NAME tessaro)
set(CPACK_PACKAGE_VENDOR Kestrum)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configuration tool for Dubrion ESPA 4.4.4 paging converters")
set(CPACK_PACKAGE_DESCRIPTION "\
Tessaro is the service technician's tool for a Dubrion unit, a converter
between two ESPA 4.4.4 paging interfaces. Over one serial line it reads and
writes the unit's settings, keeps them in settings files, sends a test call
to a pager and restarts the unit.
.
The package holds the desktop program tessaro, the command-line tool
tessaro-cli for the same work from a script, and tessaro-unit, a simulated
unit on a pseudo-terminal for trying the tool without the hardware.")
set(CPACK_PACKAGE_CONTACT "Kestrum <tessaro@kestrum.nl>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Kestrum <tessaro@kestrum.nl>")
set(CPACK_DEBIAN_PACKAGE_SECTION comm)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${PROJECT_HOMEPAGE_URL})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)

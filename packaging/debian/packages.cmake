# The Debian packages, built by CPack from the install components (scripts/package):
#   zendral         the station, zendral-headless and zendral-tool, the udev rules, desktop entry
#   zendral-bench   the virtual bench with its simulated diagnostic library and outside tools
#   lib<name>1      one companion library each (wexley, nelvish, tobrin)
#   libzendral-dev  their headers, pkg-config files, CMake packages and link names
# Dependencies on system libraries come from dpkg-shlibdeps; the library packages carry shlibs.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zendral)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Zendral developers")
set(CPACK_PACKAGE_CONTACT "The Zendral developers <zendral@example.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL ${ZENDRAL_DEB_COMPONENTS})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)

foreach(component package IN ZIP_LISTS ZENDRAL_DEB_COMPONENTS ZENDRAL_DEB_NAMES)
  string(TOUPPER ${component} COMPONENT)
  set(CPACK_DEBIAN_${COMPONENT}_PACKAGE_NAME ${package})
  set(CPACK_DEBIAN_${COMPONENT}_PACKAGE_SECTION libs)
endforeach()

# A program that links a companion library depends on that library's package of the same
# version. dpkg-shlibdeps finds the library in the build (it belongs to no installed package).
include(${CMAKE_CURRENT_LIST_DIR}/linked_companions.cmake)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_LIBRARY_OUTPUT_DIRECTORY})
zendral_companion_depends(CPACK_DEBIAN_STATION_PACKAGE_DEPENDS zendral zendral-headless zendral-tool)
zendral_companion_depends(CPACK_DEBIAN_BENCH_PACKAGE_DEPENDS zendral-bench)
# The station's run records default to an SQLite file, reached through that ODBC driver; a
# database shared by the line needs the PostgreSQL driver instead.
if(CPACK_DEBIAN_STATION_PACKAGE_DEPENDS MATCHES "libtobrin1")
  string(APPEND CPACK_DEBIAN_STATION_PACKAGE_DEPENDS ", libsqliteodbc")
  set(CPACK_DEBIAN_STATION_PACKAGE_SUGGESTS "zendral-bench, odbc-postgresql")
else()
  set(CPACK_DEBIAN_STATION_PACKAGE_SUGGESTS zendral-bench)
endif()

set(CPACK_DEBIAN_STATION_PACKAGE_SECTION electronics)
set(CPACK_COMPONENT_STATION_DESCRIPTION "firmware station for cellular module production lines
Zendral programs cellular modules on a production line: it follows a module
through its USB ports, writes the modem images through the chipset vendor's
diagnostic library and the application images over fastboot, can back up and
restore the module's calibration, and records every module's run in a database.
.
This package holds the station with its window (zendral), the station without
a window for automation (zendral-headless), the line engineer's tool
(zendral-tool) and the udev rules that give the operator access to the modules.
A line PC also needs the vendor's diagnostic library and outside tools in
/usr/lib/zendral (see /usr/share/doc/zendral/README.md).")
# The station's post-install and post-removal steps reload the udev rules.
set(udev_reload ${CMAKE_CURRENT_BINARY_DIR}/debian/control)
configure_file(debian/udev-reload ${udev_reload}/postinst COPYONLY)
configure_file(debian/udev-reload ${udev_reload}/postrm COPYONLY)
set(CPACK_DEBIAN_STATION_PACKAGE_CONTROL_EXTRA "${udev_reload}/postinst;${udev_reload}/postrm")
# The library packages refresh the dynamic linker's cache through the ldconfig trigger. (CPack
# also writes postinst/postrm scripts that call ldconfig for any shared object under /usr/lib,
# the bench's simulated library included: lintian's maintscript-calls-ldconfig warning.)
foreach(library WEXLEY NELVISH TOBRIN)
  set(CPACK_DEBIAN_${library}_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_SOURCE_DIR}/debian/triggers)
endforeach()

set(CPACK_DEBIAN_BENCH_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_BENCH_PACKAGE_SUGGESTS zendral)
set(CPACK_COMPONENT_BENCH_DESCRIPTION "virtual bench of simulated modules for the Zendral station
The bench simulates cellular modules as the Zendral station sees them: serial
ports that answer AT commands, a diagnostic library, the flash programmer tools
and a fastboot device, with faults to inject. Demonstrations and tests run the
station on it. Its simulated library and tools are used only while the bench
is in use (ZENDRAL_BENCH set), never in place of a line PC's real ones.")

set(CPACK_COMPONENT_WEXLEY_DESCRIPTION "Zendral INI manager library
Lists, reads, writes, deletes and renames the sections and keys of one INI
file through an object handed out by CreateObject; writes replace the file
atomically.")
set(CPACK_COMPONENT_NELVISH_DESCRIPTION "Zendral XML document manager library
Creates, loads, saves, builds, walks and queries (XPath 1.0) XML documents
through an object handed out by CreateObject. Loading never expands entities
or reads document type definitions.")
set(CPACK_COMPONENT_TOBRIN_DESCRIPTION "Zendral database manager library over ODBC
Creates SQLite databases, opens ODBC connections, runs statements and reads
tables and results as text through an object handed out by CreateObject.")

set(CPACK_DEBIAN_TOBRIN_PACKAGE_RECOMMENDS libsqliteodbc)
set(CPACK_DEBIAN_TOBRIN_PACKAGE_SUGGESTS odbc-postgresql)

set(CPACK_DEBIAN_COMPANION-DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_COMPANION-DEV_PACKAGE_DEPENDS
    "libwexley1 (= ${PROJECT_VERSION}), libnelvish1 (= ${PROJECT_VERSION}), libtobrin1 (= ${PROJECT_VERSION}), unixodbc-dev")
set(CPACK_COMPONENT_COMPANION-DEV_DESCRIPTION "development files of the Zendral companion libraries
Headers (zendral/com.h and one per library), pkg-config files, CMake packages
and link names of libwexley, libnelvish and libtobrin.")

include(CPack)

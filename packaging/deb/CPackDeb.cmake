# The Debian package: `cpack -G DEB` (or the `package` target) in a build
# tree. Its dependencies come from the shared libraries the programs are
# linked with (dpkg-shlibdeps), plus what the collector runs.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME cvreport)
set(CPACK_PACKAGE_VENDOR Corvanta)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Corvanta Support <${CVREPORT_SUPPORT_EMAIL}>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Corvanta problem-report kit: cvreport and cvsysinfo")
set(CPACK_PACKAGE_DESCRIPTION
    "cvreport files a problem report with the Corvanta support service: it\n"
    "collects the host's logs and settings into an archive and uploads it with\n"
    "the reporter's contact details, from the command line or a full-screen\n"
    "wizard. cvsysinfo writes an XML inventory of a Corvanta host: its\n"
    "containers, the host node and the installed templates.")
if(CV_PLATFORM_SIMULATED)
  string(APPEND CPACK_PACKAGE_DESCRIPTION
         "\n\nThis build's cvsysinfo is linked with the simulated platform libraries,"
         "\nfor testing. It reports on a simulated host only.")
endif()
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
# The collector and the configuration live at fixed absolute paths, so the
# package is staged through DESTDIR, below the prefix /usr.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(CV_PLATFORM_SIMULATED)
  # The simulated libraries are the package's own.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/lib)
endif()
# The collector is a bash script packing with tar and gzip.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "bash, coreutils, tar, gzip")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/packaging/deb/conffiles
    ${PROJECT_SOURCE_DIR}/packaging/deb/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)

# What `cmake --install` lays out, and the Debian package built from that
# with CPack (`cpack -G DEB` in the build tree). packaging/rpm/cvreport.spec
# builds the RPM from the same rules.
#
# The programs look for their files at fixed paths, whatever the install
# prefix: the collector and the services lister in /usr/libexec/cvreport,
# the configuration in /etc/cvreport.conf. Those two go there (below
# DESTDIR); everything else goes below the prefix.
include(GNUInstallDirs)

set(CVREPORT_SUBMIT_URI "https://report.corvanta.com/cvreport/submit" CACHE STRING
    "Support service upload address written into the sample /etc/cvreport.conf")
set(CVREPORT_LIBEXEC_DIR /usr/libexec/cvreport)

# --- programs ---------------------------------------------------------------

install(TARGETS cvreport RUNTIME DESTINATION ${CMAKE_INSTALL_SBINDIR})
install(PROGRAMS scripts/cvreport_collector DESTINATION ${CVREPORT_LIBEXEC_DIR})
if(TARGET cvsysinfo)
  install(TARGETS cvsysinfo RUNTIME DESTINATION ${CMAKE_INSTALL_SBINDIR})
  install(PROGRAMS scripts/list_services DESTINATION ${CVREPORT_LIBEXEC_DIR})
  if(CV_PLATFORM_SIMULATED)
    # A build against the simulated platform can only run on the simulated
    # host, so its libraries travel with it, in a directory of the kit's own:
    # on the linker's path they could shadow a real platform's libraries.
    set(CVREPORT_SIM_LIBDIR ${CMAKE_INSTALL_LIBDIR}/cvreport)
    install(TARGETS cvsim_cvctl cvsim_cvtt LIBRARY DESTINATION ${CVREPORT_SIM_LIBDIR})
    file(RELATIVE_PATH _cv_sim_rpath /prefix/${CMAKE_INSTALL_SBINDIR} /prefix/${CVREPORT_SIM_LIBDIR})
    set_target_properties(cvsysinfo PROPERTIES INSTALL_RPATH "\$ORIGIN/${_cv_sim_rpath}")
  endif()
endif()

# --- configuration ----------------------------------------------------------

# The sample names the support service of this build.
file(READ ${PROJECT_SOURCE_DIR}/etc/cvreport.conf _cv_conf)
string(REGEX REPLACE "\nSUBMIT_URI=[^\n]*" "\nSUBMIT_URI=${CVREPORT_SUBMIT_URI}" _cv_conf "${_cv_conf}")
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/etc/cvreport.conf CONTENT "${_cv_conf}" @ONLY)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/etc/cvreport.conf)
# An administrator's file is never replaced: the sample goes in only where
# there is none. (The packages keep it their own way: a conffile, or
# %config(noreplace).)
install(CODE "
  set(_cv_conf_dest \"\$ENV{DESTDIR}/etc/cvreport.conf\")
  if(EXISTS \"\${_cv_conf_dest}\" OR IS_SYMLINK \"\${_cv_conf_dest}\")
    message(STATUS \"Keeping: \${_cv_conf_dest} (the sample is ${CMAKE_BINARY_DIR}/etc/cvreport.conf)\")
  else()
    file(INSTALL DESTINATION /etc TYPE FILE
         PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
         FILES \"${CMAKE_BINARY_DIR}/etc/cvreport.conf\")
  endif()")

# --- manuals, completion, translation template, stylesheets -----------------

foreach(_cv_page cvreport.8 cvsysinfo.8 cvreport.conf.5)
  configure_file(${PROJECT_SOURCE_DIR}/man/${_cv_page}.in ${CMAKE_BINARY_DIR}/man/${_cv_page} @ONLY)
  string(REGEX REPLACE ".*\\.([0-9])$" "\\1" _cv_section ${_cv_page})
  install(FILES ${CMAKE_BINARY_DIR}/man/${_cv_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${_cv_section})
endforeach()

install(FILES completion/cvreport completion/cvsysinfo DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

add_subdirectory(${PROJECT_SOURCE_DIR}/po ${CMAKE_BINARY_DIR}/po)
install(FILES ${CVREPORT_POT} DESTINATION ${CMAKE_INSTALL_DATADIR}/cvreport)

# The inventory, and what changed between two, as HTML pages: the
# stylesheets find each other side by side, and the change document's
# grammar lies beside the page that reads it.
install(FILES stylesheets/inventory.xsl stylesheets/fleet.xsl stylesheets/changes.xsl schema/cvsysinfo-changes.rng
        DESTINATION ${CMAKE_INSTALL_DATADIR}/cvreport)
install(PROGRAMS stylesheets/cvfleet-page DESTINATION ${CMAKE_INSTALL_DATADIR}/cvreport)

install(FILES README.md docs/inventory.md schema/cvsysinfo.rng schema/cvsysinfo-changes.rng
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/cvreport)

include(${PROJECT_SOURCE_DIR}/packaging/deb/CPackDeb.cmake)

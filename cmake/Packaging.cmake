# Installation rules (program, command-line tool, simulator, help page, desktop entry, icon) and
# the Debian package.
include(GNUInstallDirs)

# The help page is looked up at <program dir>/../share/velmorocandiag/help.html, so the data
# directory must stay a sibling of the binary directory.
set(VELMORO_INSTALL_DATADIR ${CMAKE_INSTALL_DATADIR}/velmorocandiag)

install(TARGETS velmoro-sim velmoro-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET VelmoroCanDiag)
  install(TARGETS VelmoroCanDiag RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/velmorocandiag.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/velmorocandiag.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/velmorocandiag.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps)
endif()

# The ride recorder as a service (a template: the instance is the user it runs as), with the
# example of its settings and a udev rule that gives the adapter a stable name.
install(FILES ${CMAKE_SOURCE_DIR}/packaging/systemd/velmoro-record@.service
        DESTINATION lib/systemd/system)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/systemd/velmoro-record.default
              ${CMAKE_SOURCE_DIR}/packaging/udev/99-velmoro-adapter.rules
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/velmorocandiag/examples)

# The data directory also marks an installed copy, which keeps its files in the user's folders.
install(DIRECTORY DESTINATION ${VELMORO_INSTALL_DATADIR})

# Installed only when present, so that a checkout without the documents still installs.
if(EXISTS ${CMAKE_SOURCE_DIR}/docs/help.html)
  install(FILES ${CMAKE_SOURCE_DIR}/docs/help.html DESTINATION ${VELMORO_INSTALL_DATADIR})
endif()
if(EXISTS ${CMAKE_SOURCE_DIR}/docs/user-guide.md)
  install(FILES ${CMAKE_SOURCE_DIR}/docs/user-guide.md
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/velmorocandiag)
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/images
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/velmorocandiag
          FILES_MATCHING PATTERN "*.png")
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velmorocandiag)
set(CPACK_PACKAGE_VENDOR "VelmoroCanDiag project")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "VelmoroCanDiag project <velmorocandiag@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Diagnostic tool for fuel-injected motorcycles through an ELM327-type OBD adapter")
set(CPACK_PACKAGE_DESCRIPTION
    "Reads live engine values, fault codes and stored data from the engine control unit of\n\
fuel-injected motorcycles over CAN, runs actuator tests and learning procedures, and writes\n\
CSV logs and text reports. Works with serial, USB, Bluetooth and WiFi adapters and has a\n\
built-in simulated motorcycle.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY velmorocandiag)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://velmorocandiag.invalid/")

# The Qt libraries the binaries link are found by dpkg-shlibdeps (the X11 platform plugin comes
# with libqt6gui6). What it cannot see is listed by hand: the metric-compatible face the fonts
# are fitted with. The help page is opened through xdg-open.
find_program(VELMORO_DPKG_SHLIBDEPS dpkg-shlibdeps)
set(velmoro_manual_depends "fonts-liberation")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
if(VELMORO_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "${velmoro_manual_depends}")
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS
      "libqt6charts6, libqt6widgets6, libqt6gui6, libqt6network6, libqt6serialport6, \
libqt6core6, libstdc++6, libc6, ${velmoro_manual_depends}")
endif()

include(CPack)

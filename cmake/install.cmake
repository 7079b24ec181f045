# SPDX-License-Identifier: GPL-3.0-or-later
# What `cmake --install` puts in place: the program, its desktop entry, icons, AppStream
# metadata and manual page. The Debian package in debian/ installs the same.
include(GNUInstallDirs)
set(RULECRAFT_APP_ID org.rulecraft.Rulecraft)
install(TARGETS rulecraft
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  BUNDLE DESTINATION .)
install(FILES data/${RULECRAFT_APP_ID}.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES data/${RULECRAFT_APP_ID}.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES data/${RULECRAFT_APP_ID}.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 32 64 128)
  install(FILES data/icon-${size}.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
    RENAME ${RULECRAFT_APP_ID}.png)
endforeach()
# The manual page names the version CMakeLists.txt gives.
configure_file(data/rulecraft.1.in rulecraft.1 @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/rulecraft.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

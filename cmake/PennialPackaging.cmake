# Installing the application as a Linux desktop application, and its Debian package (`cpack -G DEB`
# in the release build; scripts/package). Only the program and its desktop files are installed.
include(GNUInstallDirs)
# Installing builds nothing more: scripts/package builds the program first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY TRUE)

set(PENNIAL_APP_ID "com.pennial.Pennial")
set(linux_resources ${PROJECT_SOURCE_DIR}/resources/linux)
# Honours SOURCE_DATE_EPOCH, so a rebuild of one release makes the same package.
string(TIMESTAMP PENNIAL_RELEASE_DATE "%Y-%m-%d" UTC)
string(TIMESTAMP PENNIAL_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)

install(TARGETS pennial RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${linux_resources}/${PENNIAL_APP_ID}.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
configure_file(${linux_resources}/${PENNIAL_APP_ID}.metainfo.xml
  ${CMAKE_CURRENT_BINARY_DIR}/package/${PENNIAL_APP_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/package/${PENNIAL_APP_ID}.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/resources/media/AppIcon.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME ${PENNIAL_APP_ID}.svg)
foreach(size 16 24 32 48 64 128 256 512)
  install(FILES ${linux_resources}/icons/${PENNIAL_APP_ID}-${size}.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
    RENAME ${PENNIAL_APP_ID}.png)
endforeach()

# What Debian asks of every package: the copyright and a compressed changelog beside it, and a
# manual page for the program.
configure_file(${linux_resources}/changelog.Debian ${CMAKE_CURRENT_BINARY_DIR}/package/changelog.Debian
  @ONLY)
find_program(GZIP_PROGRAM gzip REQUIRED)
add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/package/changelog.Debian.gz
  COMMAND ${GZIP_PROGRAM} -9nkf ${CMAKE_CURRENT_BINARY_DIR}/package/changelog.Debian
  DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/package/changelog.Debian)
configure_file(${linux_resources}/pennial.1 ${CMAKE_CURRENT_BINARY_DIR}/package/pennial.1 @ONLY)
add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/package/pennial.1.gz
  COMMAND ${GZIP_PROGRAM} -9nkf ${CMAKE_CURRENT_BINARY_DIR}/package/pennial.1
  DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/package/pennial.1)
add_custom_target(pennial_package_changelog ALL
  DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/package/changelog.Debian.gz
  ${CMAKE_CURRENT_BINARY_DIR}/package/pennial.1.gz)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/package/pennial.1.gz
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${linux_resources}/copyright ${CMAKE_CURRENT_BINARY_DIR}/package/changelog.Debian.gz
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/pennial)

set(CPACK_PACKAGE_NAME pennial)
set(CPACK_PACKAGE_VENDOR "Pennial")
set(CPACK_PACKAGE_CONTACT "Pennial <support@pennial.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "run AI commands on the text you type in any application")
set(CPACK_PACKAGE_DESCRIPTION
  "Pennial lives in the system tray. Type a command such as ;;fix at the end of\n\
a line in any application's text field, and the text before it is rewritten\n\
in place, with the context around the field taken into account.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY pennial)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://pennial.com")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so not found by the shared-library scan: the X11 platform plugin and the
# accessibility bus that every text field is read through.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, at-spi2-core")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "gnome-keyring | kwalletmanager")
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)

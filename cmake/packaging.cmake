# The Debian package, made by CPack from the install rules (scripts/package.sh): the programs,
# their manual pages, the menu entry and its icons, the watch's user timer, and the package's own
# copyright and changelog. Its dependencies are read from the libraries the programs link.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vesk)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_CONTACT "vesk developers <vesk-team@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "viewer of a stock-market message board's threads")
set(CPACK_PACKAGE_DESCRIPTION
    "vesk downloads every page of one thread of the board and shows its posts\n\
as one compact page: all of them, the starter's alone, or those of a list\n\
of names. It keeps threads in a library to read offline, search, export\n\
and watch, and follows people across them. Its texts are Chinese.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's platform plugins are loaded, not linked: named by hand; and every text is Chinese.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wqy-microhei | fonts-noto-cjk")
set(CPACK_STRIP_FILES ON)
include(GNUInstallDirs)
install(FILES ${PROJECT_SOURCE_DIR}/doc/debian/copyright
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
set(VERSION ${PROJECT_VERSION})
configure_file(${PROJECT_SOURCE_DIR}/doc/debian/changelog.in ${CMAKE_CURRENT_BINARY_DIR}/changelog
               @ONLY)
install(CODE "
  execute_process(COMMAND gzip -9 -n -c ${CMAKE_CURRENT_BINARY_DIR}/changelog
                  OUTPUT_FILE ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
  file(INSTALL ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz
       DESTINATION \${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DOCDIR})
")
include(CPack)

# CPack: the .deb a user installs under /usr and the relocatable .tar.gz that
# Kestrup installs into any prefix. The settings per generator are in
# CPackOptions.cmake.in, read by cpack for each package it makes.
set(CPACK_GENERATOR "TGZ;DEB")
set(CPACK_PACKAGE_NAME "tarnwick")
set(CPACK_PACKAGE_VENDOR "VELT")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_CONTACT "VELT <support@velt.example>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://www.velt.example/")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "keeps a redirect page pointing at a computer with a changing address")
set(CPACK_STRIP_FILES ON)
set(CPACK_THREADS 2)

# Debian: CPack puts the summary above first, then this long description
# (lines of at most 80 characters; a lone "." marks an empty line).
set(CPACK_DEBIAN_PACKAGE_NAME "tarnwick")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "net")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "VELT <support@velt.example>")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Tarnwick keeps a fixed internet address pointing at a web server that runs on
a computer whose own address changes. The fixed address is a small redirect
page on rented web space: Tarnwick finds the computer's current address,
checks where the published page leads and uploads a new page by FTP or HTTP
PUT when it is stale, on request and every few minutes.
.
The package holds the tray program with its headless mode and systemd user
service, the CorvaneCom network component with the corvane scripting host,
and the Kestrup updater. The programs speak German.")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What dpkg-shlibdeps cannot see: plug-ins and data loaded at run time (Qt's
# German texts of dialogs, the SVG image and icon plug-ins for the artwork,
# the system's certificate authorities for https and FTP over TLS).
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-translations-l10n, libqt6svg6, ca-certificates")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
# No maintainer scripts: CPack would add ldconfig calls for any library below
# /usr/lib, but the private folder is not in the linker's cache. Naming a
# postinst and a postrm that do not exist stops the generated ones; CPack adds
# only extra control files that exist (and says "missing file" for these two).
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    "${CMAKE_CURRENT_BINARY_DIR}/no-maintainer-scripts/postinst;${CMAKE_CURRENT_BINARY_DIR}/no-maintainer-scripts/postrm")

configure_file(${CMAKE_CURRENT_SOURCE_DIR}/CPackOptions.cmake.in ${CMAKE_BINARY_DIR}/CPackOptions.cmake @ONLY)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/CPackOptions.cmake)
include(CPack)

# SPDX-License-Identifier: MIT
# The Debian package: "cpack -G DEB" in the build tree makes zepa-control_<version>_<arch>.deb
# with the programs, desktop data, udev rules, user units, manual pages and licence. The
# simulator (component "simulator") stays out of it.
set(CPACK_PACKAGE_NAME zepa-control)
set(CPACK_PACKAGE_VENDOR "ZEPA Control")
set(CPACK_PACKAGE_CONTACT "ZEPA Control developers <zepa-control@zepa-control.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "settings for ZEPA VX10 and Halvern Corvane Pro 108 keyboards")
# The synopsis above is the first line; CPack indents these lines and marks the empty one.
set(CPACK_PACKAGE_DESCRIPTION
  "ZEPA Control sets up two USB keyboards over their HID configuration
interfaces: lighting effect, colour, brightness and speed, a colour per
key, key remapping, and the clock of the ZEPA VX10's display. The settings
come back when a keyboard is plugged in, at login and after sleep.

The user interface is German.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL application)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_DEBIAN_PACKAGE_NAME zepa-control)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${PROJECT_HOMEPAGE_URL}")
# Libraries from dpkg-shlibdeps; plus what is loaded at run time: the SVG plug-ins for the
# desktop theme's icons and Qt's German translations of its own dialogs.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "systemd, udev")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_GENERATOR DEB)
include(CPack)

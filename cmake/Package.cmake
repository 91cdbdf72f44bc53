# The Debian package: `cpack -G DEB` (scripts/package) makes brivox_<version>_<arch>.deb from
# what Install.cmake installs, its dependencies found from the programs by dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME brivox)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Brivox developers <brivox@dalmeno.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "serial-port terminal for RS-232 and RS-485 lines")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "serial-port terminal for RS-232 and RS-485 lines
 Brivox opens a serial port and sends typed keys, byte scripts with expected
 replies, strings, decimal lists, MODBUS ASCII and RTU master requests or a
 small file, and shows what was sent and received in hexadecimal or decimal.
 brivox-cli runs scripts and MODBUS requests from scripts and CI jobs, and
 brivox-devsim simulates a device on a pseudo-terminal.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The fonts the drawing names (their metric twins); the trace window's Tahoma twin.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation2")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wine, lrzsz")
include(CPack)

# The suite as a Debian package: `cpack -G DEB` in the build folder makes
# zuzoruve_<version>_<architecture>.deb. Programs go to /usr/bin, DiZed to /usr/lib, the suite's
# own libraries and the self-extractor stubs to /usr/lib/zuzoruve, the data to
# /usr/share/zuzoruve, man pages and desktop entries where Debian keeps them. The package's
# dependencies are read from the programs and libraries (dpkg-shlibdeps).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${SUITE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Zuzoruve developers <zuzoruve@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "installer-authoring editor, temperature monitor and CAN port library")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "ZERIRU builds installers (folders, LHA and CAB archives, self-extractors) from .PJ2\nprojects, also from the command line; ridaviri_did measures and logs temperatures of\nsensor units over USB or CAN; DiZed gives applications the ports of the PCI CAN board.\nThe drivers run on a simulated machine kept in a Windows-like prefix.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The suite's own libraries satisfy their programs; dpkg-shlibdeps finds them in the build tree.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/lib)
set(CPACK_STRIP_FILES ON)
include(CPack)

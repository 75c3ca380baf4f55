# What `cmake --install` puts in place and what `cpack -G DEB` packs: the four
# programs, a man page for each, and the README with the examples. Test,
# benchmark and gallery programs and the stand-in compiler are not installed.
set(KXT_PACKAGE_NAME kxt-tools)
# Debian names the documentation folder after the package.
set(CMAKE_INSTALL_DOCDIR share/doc/${KXT_PACKAGE_NAME} CACHE PATH "Documentation folder")
include(GNUInstallDirs)
# Installing and packing take what is built; they do not build the tests first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY TRUE)

install(TARGETS kxtload quillet kxtdev kxtsim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES
  ${CMAKE_SOURCE_DIR}/man/kxtload.1
  ${CMAKE_SOURCE_DIR}/man/quillet.1
  ${CMAKE_SOURCE_DIR}/man/kxtdev.1
  ${CMAKE_SOURCE_DIR}/man/kxtsim.1
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
# Sample programs, sources and setup files; the stand-in compiler stays out.
install(DIRECTORY ${CMAKE_SOURCE_DIR}/examples/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples
  FILES_MATCHING PATTERN "*.KXB" PATTERN "*.KXT" PATTERN "*.STP" PATTERN "make_samples.py"
  PATTERN "COMPILE*" EXCLUDE PATTERN "__pycache__" EXCLUDE)
# The README's pictures, so that its links work in the installed copy too.
install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/images/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs/images
  OPTIONAL FILES_MATCHING PATTERN "*.png")

# Debian package of the installed tree.
set(CPACK_PACKAGE_NAME ${KXT_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION 1.0.0)
set(CPACK_PACKAGE_VENDOR "KXT tools")
set(CPACK_PACKAGE_CONTACT "KXT tools maintainers <kxt-tools@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "console tools for KXT modules and Sy/Max and Modbus registers")
set(CPACK_PACKAGE_DESCRIPTION
    "kxtload downloads compiled programs into KXT module channels, quillet is a
full-screen live register editor, kxtdev is a full-screen development
environment, and kxtsim is a simulated KXT module for trying them without
hardware. Links: Sy/Max, Gateway, Modbus RTU and ASCII on serial ports, and
Modbus TCP.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# dpkg-shlibdeps finds libc6, libstdc++6 and libgcc-s1 with their versions.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
set(CPACK_GENERATOR DEB)
include(CPack)

# Packages made by CPack: a .deb on Linux (cpack -G DEB) and a .zip for the
# Windows cross build (cpack -G ZIP in build/mingw).  Both carry the project
# version.
set(CPACK_PACKAGE_NAME torvik32c)
set(CPACK_PACKAGE_VENDOR "torvik32c")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Converts 3D Studio (.3ds) mesh files into BMF model files")
set(CPACK_PACKAGE_CONTACT "torvik32c maintainers <torvik32c@localhost>")
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win32)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
  install(FILES ${PROJECT_SOURCE_DIR}/src/torvik32c/torvik32c.def DESTINATION lib)
  install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/CHANGELOG.md
                ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/packaging/CALLING-THE-DLL.txt
          DESTINATION .)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
  # The licence, in Debian's machine-readable copyright format.
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/torvik32c)
  # Dependencies (libc, libstdc++, libpng) from the binaries themselves.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
      "Converts 3D Studio (.3ds) mesh files into BMF model files\n\
 The library libtorvik32c (C entry do3dsparse, C++ API), its headers, CMake\n\
 package and pkg-config file, and the commands 3ds2bmf and bmftool with\n\
 their manual pages.")
endif()
include(CPack)

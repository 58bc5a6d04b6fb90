# Packages made by CPack: a .deb on Linux (cpack -G DEB) and a .zip for each
# Windows cross build (cpack -G ZIP in build/mingw and build/mingw64).  All
# carry the project version.
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
  # One zip per architecture, named after it (torvik32c-VERSION-win32.zip,
  # -win64.zip), each with the .def and the calling notes of its DLL.
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_SYSTEM_NAME win64)
    set(calling_notes ${PROJECT_SOURCE_DIR}/packaging/CALLING-THE-DLL-x64.txt)
  else()
    set(CPACK_SYSTEM_NAME win32)
    set(calling_notes ${PROJECT_SOURCE_DIR}/packaging/CALLING-THE-DLL.txt)
  endif()
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
  install(FILES ${TORVIK_DEF_FILE} DESTINATION lib RENAME torvik32c.def)
  install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/CHANGELOG.md
                ${PROJECT_SOURCE_DIR}/LICENSE
          DESTINATION .)
  install(FILES ${calling_notes} DESTINATION . RENAME CALLING-THE-DLL.txt)
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
  # The extended description; CPack puts the summary before it and indents it.
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
      "The library libtorvik32c (C entry do3dsparse, C++ API), its headers, CMake\n\
package and pkg-config file, and the commands 3ds2bmf and bmftool with\n\
their manual pages.")
  # The Python module goes in a package of its own, python3-torvik32c, as
  # Debian packages Python modules: everything else (the component
  # "Unspecified") stays torvik32c.
  if(TORVIK_BUILD_PYTHON)
    set(CPACK_DEB_COMPONENT_INSTALL ON)
    set(CPACK_DEBIAN_UNSPECIFIED_PACKAGE_NAME torvik32c)
    set(CPACK_DEBIAN_PYTHON_PACKAGE_NAME python3-torvik32c)
    set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
    # A Python extension has no soname: no shlibs file for it.
    set(CPACK_DEBIAN_PYTHON_PACKAGE_GENERATE_SHLIBS OFF)
    # The module is built for one Python version; numpy for the arrays.
    math(EXPR torvik_python_next "${Python3_VERSION_MINOR} + 1")
    set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS
        "python3 (>= ${Python3_VERSION_MAJOR}.${Python3_VERSION_MINOR}~), python3 (<< ${Python3_VERSION_MAJOR}.${torvik_python_next}), python3-numpy")
    set(CPACK_DEBIAN_PYTHON_DESCRIPTION
        "The Python 3 module torvik32c: convert, convert_bytes, read_bmf, read_3ds\n\
and to_gltf, with numpy arrays, type stubs, and the GIL released while it\n\
converts.")
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/python3-torvik32c COMPONENT python)
  endif()
endif()
include(CPack)

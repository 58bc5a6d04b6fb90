# What `cmake --install` puts under the prefix: the shared library, the C
# header and the C++ API headers, the commands, and the CMake package that
# find_package(torvik32c) reads.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

if(NOT WIN32)
  set_target_properties(torvik32c PROPERTIES
    VERSION ${PROJECT_VERSION}
    SOVERSION ${PROJECT_VERSION_MAJOR})
endif()

install(TARGETS torvik32c EXPORT torvik32cTargets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
# The glTF export's and the reports' headers stay behind: their libraries
# (torvik_gltf, torvik_reports) are built for the front ends, not installed.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/torvik32c
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
  FILES_MATCHING PATTERN "*.h"
  PATTERN "gltf_*.h" EXCLUDE
  PATTERN "export_conventions.h" EXCLUDE
  PATTERN "texture_finder.h" EXCLUDE
  PATTERN "reports.h" EXCLUDE
  PATTERN "texture_copy.h" EXCLUDE
  PATTERN "batch_copies.h" EXCLUDE)
if(TORVIK_BUILD_TOOLS)
  install(TARGETS 3ds2bmf bmftool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

set(TORVIK_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/torvik32c)
install(EXPORT torvik32cTargets
  NAMESPACE torvik32c::
  DESTINATION ${TORVIK_PACKAGE_DIR})
configure_package_config_file(
  ${CMAKE_CURRENT_LIST_DIR}/torvik32cConfig.cmake.in
  ${PROJECT_BINARY_DIR}/torvik32cConfig.cmake
  INSTALL_DESTINATION ${TORVIK_PACKAGE_DIR}
  PATH_VARS CMAKE_INSTALL_INCLUDEDIR CMAKE_INSTALL_BINDIR)
write_basic_package_version_file(
  ${PROJECT_BINARY_DIR}/torvik32cConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES
  ${PROJECT_BINARY_DIR}/torvik32cConfig.cmake
  ${PROJECT_BINARY_DIR}/torvik32cConfigVersion.cmake
  DESTINATION ${TORVIK_PACKAGE_DIR})

# pkg-config, for builds that don't use CMake; relative to its own folder, so
# the installed tree may be moved (or unpacked from a package anywhere).
file(RELATIVE_PATH TORVIK_PC_TO_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
configure_file(${CMAKE_CURRENT_LIST_DIR}/torvik32c.pc.in ${PROJECT_BINARY_DIR}/torvik32c.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/torvik32c.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# Manual pages of the commands.
if(TORVIK_BUILD_TOOLS)
  install(FILES ${PROJECT_SOURCE_DIR}/man/3ds2bmf.1 ${PROJECT_SOURCE_DIR}/man/bmftool.1
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

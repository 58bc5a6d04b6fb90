# Header-only libraries from Debian's packages (CLI11, stb, JSON) for the tools.
#
#   torvik_header_library(TARGET NAME FILE path/in/include)
#
# defines the INTERFACE target TARGET when the header `path/in/include` is
# found, and sets TARGET_FOUND.  A native build uses the system's include
# folder.  A cross build must not put the host's /usr/include on its path
# (its C library headers would shadow the target's), so the header's own
# folder is copied into the build tree and that copy is used instead: the
# headers are plain C++ and the same for every target.  FILE's folder must
# be one level deep (CLI/CLI.hpp) or none (tiny_gltf.h).  With INCLUDE_FOLDER
# that folder itself goes on the include path, for headers included without
# it (stb/stb_image.h as <stb_image.h>).
function(torvik_header_library target)
  cmake_parse_arguments(ARG "INCLUDE_FOLDER" "FILE" "" ${ARGN})
  if(TARGET ${target})
    set(${target}_FOUND TRUE PARENT_SCOPE)
    return()
  endif()
  find_path(${target}_INCLUDE_DIR ${ARG_FILE}
            PATHS /usr/include /usr/local/include NO_CMAKE_FIND_ROOT_PATH)
  if(NOT ${target}_INCLUDE_DIR)
    set(${target}_FOUND FALSE PARENT_SCOPE)
    return()
  endif()
  set(include_dir ${${target}_INCLUDE_DIR})
  if(CMAKE_CROSSCOMPILING)
    get_filename_component(subdir ${ARG_FILE} DIRECTORY)
    set(copy ${CMAKE_BINARY_DIR}/host-headers/${target})
    if(subdir)
      file(COPY ${include_dir}/${subdir} DESTINATION ${copy})
    else()
      file(COPY ${include_dir}/${ARG_FILE} DESTINATION ${copy})
    endif()
    set(include_dir ${copy})
  endif()
  if(ARG_INCLUDE_FOLDER)
    get_filename_component(subdir ${ARG_FILE} DIRECTORY)
    set(include_dir ${include_dir}/${subdir})
  endif()
  add_library(${target} INTERFACE IMPORTED GLOBAL)
  target_include_directories(${target} SYSTEM INTERFACE ${include_dir})
  set(${target}_FOUND TRUE PARENT_SCOPE)
endfunction()

# Installs the build tree into a prefix inside it, then configures, builds
# and runs the consumer project against that prefix; with -DSOURCE_DIR=...,
# the consumer instead adds the source tree with add_subdirectory.
#   cmake [-DBUILD_DIR=... -DPREFIX=... | -DSOURCE_DIR=...] -DCONSUMER_SOURCE=...
#         -DCONSUMER_BUILD=... -DSAMPLE=... [-DCONSUMER_FLAGS=...] -P package_test.cmake
function(run)
  execute_process(COMMAND ${ARGV} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT status EQUAL 0)
    string(JOIN " " command ${ARGV})
    message(FATAL_ERROR "${command} failed (${status}):\n${out}")
  endif()
endfunction()

file(REMOVE_RECURSE ${CONSUMER_BUILD})
include(GNUInstallDirs)
if(SOURCE_DIR)
  set(find_library_by "-DTORVIK32C_SOURCE_DIR=${SOURCE_DIR}")
else()
  file(REMOVE_RECURSE ${PREFIX})
  run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX})
  foreach(installed bin/3ds2bmf bin/bmftool include/torvik32c/torvik32c.h
                    include/torvik32c/bmf_reader.h share/man/man1/3ds2bmf.1 share/man/man1/bmftool.1
                    ${CMAKE_INSTALL_LIBDIR}/pkgconfig/torvik32c.pc)
    if(NOT EXISTS ${PREFIX}/${installed})
      message(FATAL_ERROR "${installed} was not installed")
    endif()
  endforeach()
  set(find_library_by "-DCMAKE_PREFIX_PATH=${PREFIX}")
endif()

run(${CMAKE_COMMAND} -S ${CONSUMER_SOURCE} -B ${CONSUMER_BUILD} ${find_library_by}
    -DCMAKE_BUILD_TYPE=Release "-DCMAKE_C_FLAGS=${CONSUMER_FLAGS}"
    "-DCMAKE_CXX_FLAGS=${CONSUMER_FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${CONSUMER_FLAGS}"
    "-DCMAKE_SHARED_LINKER_FLAGS=${CONSUMER_FLAGS}")
run(${CMAKE_COMMAND} --build ${CONSUMER_BUILD} -j2)
run(${CONSUMER_BUILD}/convert_c ${SAMPLE} ${CONSUMER_BUILD}/sample.bmf)
run(${CONSUMER_BUILD}/check_cpp ${CONSUMER_BUILD}/sample.bmf)
if(SOURCE_DIR)
  return()
endif()
run(${PREFIX}/bin/bmftool validate ${CONSUMER_BUILD}/sample.bmf)

# A build without CMake finds the library through pkg-config alone.
set(ENV{PKG_CONFIG_PATH} ${PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig)
execute_process(COMMAND pkg-config --cflags --libs torvik32c
                OUTPUT_VARIABLE pc_flags OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "pkg-config does not find torvik32c")
endif()
separate_arguments(pc_flags UNIX_COMMAND "${pc_flags}")
separate_arguments(consumer_flags UNIX_COMMAND "${CONSUMER_FLAGS}")
run(cc ${consumer_flags} ${CONSUMER_SOURCE}/convert.c ${pc_flags} -o ${CONSUMER_BUILD}/convert_pc)
set(ENV{LD_LIBRARY_PATH} ${PREFIX}/${CMAKE_INSTALL_LIBDIR})
run(${CONSUMER_BUILD}/convert_pc ${SAMPLE} ${CONSUMER_BUILD}/sample_pc.bmf)
run(${CMAKE_COMMAND} -E compare_files ${CONSUMER_BUILD}/sample.bmf ${CONSUMER_BUILD}/sample_pc.bmf)

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
if(SOURCE_DIR)
  set(find_library_by "-DTORVIK32C_SOURCE_DIR=${SOURCE_DIR}")
else()
  file(REMOVE_RECURSE ${PREFIX})
  run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX})
  foreach(installed bin/3ds2bmf bin/bmftool include/torvik32c/torvik32c.h
                    include/torvik32c/bmf_reader.h)
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
if(NOT SOURCE_DIR)
  run(${PREFIX}/bin/bmftool validate ${CONSUMER_BUILD}/sample.bmf)
endif()

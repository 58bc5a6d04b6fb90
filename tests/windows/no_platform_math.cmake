# Fails when the library, its components or the web module's binding call
# one of the C runtime's elementary functions, whose last bits differ
# between builds: they use src/base/portable_math.h instead.  (The tools'
# previews may: their pixels, not their bytes, are compared.)
#   cmake -DROOT=SOURCE_DIR -P no_platform_math.cmake
file(GLOB_RECURSE sources ${ROOT}/src/*.cpp ${ROOT}/src/*.h ${ROOT}/web/binding/*.cpp
     ${ROOT}/web/binding/*.h)
set(pattern "(std::|[^A-Za-z0-9_.:>])(sin|cos|tan|asin|acos|atan|atan2|sinh|cosh|tanh|exp|exp2|expm1|log|log2|log10|log1p|pow|cbrt|hypot|erf|erfc|tgamma|lgamma)f?[ ]*\\(")
set(found "")
foreach(source IN LISTS sources)
  file(STRINGS ${source} lines)
  set(number 0)
  foreach(line IN LISTS lines)
    math(EXPR number "${number} + 1")
    string(REGEX REPLACE "//.*$" "" code "${line}")
    if(code MATCHES "${pattern}")
      file(RELATIVE_PATH relative ${ROOT} ${source})
      string(APPEND found "  ${relative}:${number}: ${line}\n")
    endif()
  endforeach()
endforeach()
if(found)
  message(FATAL_ERROR "the C runtime's elementary functions, whose results differ between "
                      "builds (use base/portable_math.h):\n${found}")
endif()
message(STATUS "no platform elementary function in ${ROOT}/src or web/binding")

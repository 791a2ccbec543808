# Little CMS 2.14 built static from its source tree: plain C without
# dependencies, so its src/*.c compile straight into one library.
set(ORLIVANE_LCMS_SOURCE "${CMAKE_SOURCE_DIR}/.deps/lcms2-2.14"
    CACHE PATH "Little CMS 2.14 source tree")
if(NOT EXISTS "${ORLIVANE_LCMS_SOURCE}/include/lcms2.h" OR NOT EXISTS "${ORLIVANE_LCMS_SOURCE}/src/cmsxform.c")
    message(FATAL_ERROR "No Little CMS source at ${ORLIVANE_LCMS_SOURCE} "
                        "(scripts/setup fetches it; elsewhere set ORLIVANE_LCMS_SOURCE)")
endif()

file(GLOB lcms_sources "${ORLIVANE_LCMS_SOURCE}/src/*.c")
add_library(lcms2 STATIC ${lcms_sources})
target_include_directories(lcms2
    PUBLIC  "${ORLIVANE_LCMS_SOURCE}/include"
    PRIVATE "${ORLIVANE_LCMS_SOURCE}/src")
# C++17 and later have no 'register'; the header names it unless told not to.
target_compile_definitions(lcms2 PUBLIC CMS_NO_REGISTER_KEYWORD)
set_target_properties(lcms2 PROPERTIES C_STANDARD 99 C_EXTENSIONS ON)
target_compile_options(lcms2 PRIVATE -w)

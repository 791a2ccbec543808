# libjpeg-turbo (libjpeg 6b interface) built static from its source tree, with
# SIMD, plus the lossless-transform routines (transupp.c) of the same tree.
include(ExternalProject)

set(ORLIVANE_JPEG_SOURCE "${CMAKE_SOURCE_DIR}/.deps/libjpeg-turbo-2.1.5"
    CACHE PATH "libjpeg-turbo 2.1.5 source tree")
if(NOT EXISTS "${ORLIVANE_JPEG_SOURCE}/transupp.c")
    message(FATAL_ERROR "No libjpeg-turbo source at ${ORLIVANE_JPEG_SOURCE} "
                        "(scripts/setup fetches it; elsewhere set ORLIVANE_JPEG_SOURCE)")
endif()

set(jpeg_prefix  "${CMAKE_BINARY_DIR}/libjpeg-turbo")
set(jpeg_build   "${jpeg_prefix}/build")
set(jpeg_install "${jpeg_prefix}/install")
set(jpeg_library "${jpeg_install}/lib/${CMAKE_STATIC_LIBRARY_PREFIX}jpeg${CMAKE_STATIC_LIBRARY_SUFFIX}")

set(jpeg_args
    -DCMAKE_BUILD_TYPE=Release
    -DCMAKE_INSTALL_PREFIX=${jpeg_install}
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON
    -DWITH_JPEG7=OFF -DWITH_JPEG8=OFF
    -DWITH_SIMD=ON -DREQUIRE_SIMD=ON
    -DWITH_TURBOJPEG=OFF)
if(CMAKE_TOOLCHAIN_FILE)
    get_filename_component(toolchain "${CMAKE_TOOLCHAIN_FILE}" ABSOLUTE BASE_DIR "${CMAKE_SOURCE_DIR}")
    list(APPEND jpeg_args -DCMAKE_TOOLCHAIN_FILE=${toolchain})
else()
    list(APPEND jpeg_args -DCMAKE_C_COMPILER=${CMAKE_C_COMPILER})
endif()

ExternalProject_Add(libjpeg_turbo
    SOURCE_DIR       "${ORLIVANE_JPEG_SOURCE}"
    PREFIX           "${jpeg_prefix}"
    BINARY_DIR       "${jpeg_build}"
    INSTALL_DIR      "${jpeg_install}"
    CMAKE_ARGS       ${jpeg_args}
    BUILD_BYPRODUCTS "${jpeg_library}"
    UPDATE_COMMAND   ""
    LOG_CONFIGURE ON LOG_BUILD ON LOG_INSTALL ON LOG_OUTPUT_ON_FAILURE ON)

file(MAKE_DIRECTORY "${jpeg_install}/include" "${jpeg_build}")

add_library(jpeg STATIC IMPORTED GLOBAL)
set_target_properties(jpeg PROPERTIES
    IMPORTED_LOCATION "${jpeg_library}"
    INTERFACE_INCLUDE_DIRECTORIES "${jpeg_install}/include")
add_dependencies(jpeg libjpeg_turbo)

# transupp.c needs private headers of the source tree and jconfigint.h, which
# exists only in the library's build tree.
add_library(jpeg_transupp STATIC "${ORLIVANE_JPEG_SOURCE}/transupp.c")
target_include_directories(jpeg_transupp
    PUBLIC  "${ORLIVANE_JPEG_SOURCE}"
    PRIVATE "${jpeg_build}")
target_compile_options(jpeg_transupp PRIVATE -w)
target_link_libraries(jpeg_transupp PUBLIC jpeg)
add_dependencies(jpeg_transupp libjpeg_turbo)

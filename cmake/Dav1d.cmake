# dav1d 1.0.0 (AV1 decoder, BSD) built static with Meson from its source
# tree, for libheif's AVIF pictures and for AVIF sequences.
include(ExternalProject)

set(ORLIVANE_DAV1D_SOURCE "${CMAKE_SOURCE_DIR}/.deps/dav1d-1.0.0"
    CACHE PATH "dav1d 1.0.0 source tree")
if(NOT EXISTS "${ORLIVANE_DAV1D_SOURCE}/meson.build")
    message(FATAL_ERROR "No dav1d source at ${ORLIVANE_DAV1D_SOURCE} "
                        "(scripts/setup fetches it; elsewhere set ORLIVANE_DAV1D_SOURCE)")
endif()
find_program(ORLIVANE_MESON meson REQUIRED)
find_program(ORLIVANE_NINJA ninja REQUIRED)
find_program(ORLIVANE_NASM nasm REQUIRED)

set(dav1d_prefix  "${CMAKE_BINARY_DIR}/dav1d")
set(dav1d_build   "${dav1d_prefix}/build")
set(dav1d_install "${dav1d_prefix}/install")
set(dav1d_library "${dav1d_install}/lib/libdav1d.a")
set(dav1d_cross   "${dav1d_prefix}/cross.txt")

# Meson reads the compilers from a cross file rather than the toolchain file;
# on Windows itself it finds them as CMake did.
set(dav1d_machine)
if(CMAKE_CROSSCOMPILING)
    set(dav1d_machine --cross-file "${dav1d_cross}")
endif()
file(WRITE "${dav1d_cross}"
"[binaries]
c = '${CMAKE_C_COMPILER}'
cpp = '${CMAKE_CXX_COMPILER}'
ar = '${CMAKE_AR}'
strip = '${CMAKE_STRIP}'
windres = '${CMAKE_RC_COMPILER}'
nasm = '${ORLIVANE_NASM}'
exe_wrapper = 'wine'

[host_machine]
system = 'windows'
cpu_family = 'x86_64'
cpu = 'x86_64'
endian = 'little'
")

ExternalProject_Add(dav1d_build
    SOURCE_DIR        "${ORLIVANE_DAV1D_SOURCE}"
    PREFIX            "${dav1d_prefix}"
    BINARY_DIR        "${dav1d_build}"
    INSTALL_DIR       "${dav1d_install}"
    CONFIGURE_COMMAND ${ORLIVANE_MESON} setup ${dav1d_machine}
                      --prefix "${dav1d_install}" --libdir lib --buildtype release
                      --default-library static -Denable_tools=false -Denable_tests=false
                      -Denable_examples=false -Dlogging=false
                      "${dav1d_build}" "${ORLIVANE_DAV1D_SOURCE}"
    BUILD_COMMAND     ${ORLIVANE_NINJA} -C "${dav1d_build}"
    INSTALL_COMMAND   ${ORLIVANE_NINJA} -C "${dav1d_build}" install
    BUILD_BYPRODUCTS  "${dav1d_library}"
    UPDATE_COMMAND    ""
    LOG_CONFIGURE ON LOG_BUILD ON LOG_INSTALL ON LOG_OUTPUT_ON_FAILURE ON)

file(MAKE_DIRECTORY "${dav1d_install}/include")

add_library(dav1d STATIC IMPORTED GLOBAL)
set_target_properties(dav1d PROPERTIES
    IMPORTED_LOCATION "${dav1d_library}"
    INTERFACE_INCLUDE_DIRECTORIES "${dav1d_install}/include")
add_dependencies(dav1d dav1d_build)

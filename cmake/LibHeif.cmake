# libheif 1.15.1 with libde265 1.0.11 (HEVC) and dav1d (AV1), decoders only.
# Both are under the LGPL, so they are DLLs beside the program; each links the
# MinGW runtime statically so that nothing else need sit beside them.
include(ExternalProject)
include(cmake/Dav1d.cmake)

set(ORLIVANE_DE265_SOURCE "${CMAKE_SOURCE_DIR}/.deps/libde265-1.0.11"
    CACHE PATH "libde265 1.0.11 source tree")
set(ORLIVANE_HEIF_SOURCE "${CMAKE_SOURCE_DIR}/.deps/libheif-1.15.1"
    CACHE PATH "libheif 1.15.1 source tree")
foreach(source ORLIVANE_DE265_SOURCE ORLIVANE_HEIF_SOURCE)
    if(NOT EXISTS "${${source}}/CMakeLists.txt")
        message(FATAL_ERROR "No source at ${${source}} "
                            "(scripts/setup fetches it; elsewhere set ${source})")
    endif()
endforeach()

set(de265_prefix  "${CMAKE_BINARY_DIR}/libde265")
set(de265_install "${de265_prefix}/install")
set(de265_import  "${de265_install}/lib/libde265.dll.a")
set(de265_dll     "${de265_install}/bin/libde265.dll")
set(heif_prefix   "${CMAKE_BINARY_DIR}/libheif")
set(heif_install  "${heif_prefix}/install")
set(heif_import   "${heif_install}/lib/libheif.dll.a")
set(heif_dll      "${heif_install}/bin/libheif.dll")

set(heif_common_args
    -DCMAKE_BUILD_TYPE=Release
    -DBUILD_SHARED_LIBS=ON
    # Only their own interface is exported, never the runtime linked into them.
    "-DCMAKE_SHARED_LINKER_FLAGS=-static -static-libgcc -static-libstdc++ -s -Wl,--exclude-libs,ALL"
    # The build machine's pkg-config knows only the build machine's libraries.
    -DPKG_CONFIG_EXECUTABLE=PKG_CONFIG_EXECUTABLE-NOTFOUND)
# Cross-compiled through the same toolchain file; built on Windows itself,
# by the same compilers.
if(CMAKE_TOOLCHAIN_FILE)
    get_filename_component(heif_toolchain "${CMAKE_TOOLCHAIN_FILE}" ABSOLUTE BASE_DIR "${CMAKE_SOURCE_DIR}")
    list(APPEND heif_common_args -DCMAKE_TOOLCHAIN_FILE=${heif_toolchain})
else()
    list(APPEND heif_common_args -DCMAKE_C_COMPILER=${CMAKE_C_COMPILER} -DCMAKE_CXX_COMPILER=${CMAKE_CXX_COMPILER})
endif()

ExternalProject_Add(libde265_build
    SOURCE_DIR       "${ORLIVANE_DE265_SOURCE}"
    PREFIX           "${de265_prefix}"
    BINARY_DIR       "${de265_prefix}/build"
    INSTALL_DIR      "${de265_install}"
    CMAKE_ARGS       ${heif_common_args}
                     -DCMAKE_INSTALL_PREFIX=${de265_install}
                     -DENABLE_SDL=OFF -DENABLE_DECODER=OFF -DENABLE_ENCODER=OFF
    BUILD_BYPRODUCTS "${de265_import}" "${de265_dll}"
    UPDATE_COMMAND   ""
    LOG_CONFIGURE ON LOG_BUILD ON LOG_INSTALL ON LOG_OUTPUT_ON_FAILURE ON)

ExternalProject_Add(libheif_build
    SOURCE_DIR       "${ORLIVANE_HEIF_SOURCE}"
    PREFIX           "${heif_prefix}"
    BINARY_DIR       "${heif_prefix}/build"
    INSTALL_DIR      "${heif_install}"
    CMAKE_ARGS       ${heif_common_args}
                     -DCMAKE_INSTALL_PREFIX=${heif_install}
                     -DENABLE_PLUGIN_LOADING=OFF -DWITH_EXAMPLES=OFF
                     -DWITH_X265=OFF -DWITH_AOM_ENCODER=OFF -DWITH_AOM_DECODER=OFF
                     -DWITH_SvtEnc=OFF -DWITH_RAV1E=OFF
                     -DWITH_LIBDE265=ON -DWITH_LIBDE265_PLUGIN=OFF
                     -DLIBDE265_INCLUDE_DIR=${de265_install}/include
                     -DLIBDE265_LIBRARY=${de265_import}
                     -DWITH_DAV1D=ON -DWITH_DAV1D_PLUGIN=OFF
                     -DDAV1D_INCLUDE_DIR=${dav1d_install}/include
                     -DDAV1D_LIBRARY=${dav1d_library}
    DEPENDS          libde265_build dav1d_build
    BUILD_BYPRODUCTS "${heif_import}" "${heif_dll}"
    UPDATE_COMMAND   ""
    LOG_CONFIGURE ON LOG_BUILD ON LOG_INSTALL ON LOG_OUTPUT_ON_FAILURE ON)

file(MAKE_DIRECTORY "${heif_install}/include")

add_library(heif SHARED IMPORTED GLOBAL)
set_target_properties(heif PROPERTIES
    IMPORTED_IMPLIB   "${heif_import}"
    IMPORTED_LOCATION "${heif_dll}"
    INTERFACE_INCLUDE_DIRECTORIES "${heif_install}/include")
add_dependencies(heif libheif_build)

# Beside every program of the build, where the system's loader finds them.
set(ORLIVANE_HEIF_DLLS "${heif_dll}" "${de265_dll}" CACHE INTERNAL "")
add_custom_target(heif_dlls ALL
    COMMAND ${CMAKE_COMMAND} -E make_directory "${CMAKE_RUNTIME_OUTPUT_DIRECTORY}"
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${ORLIVANE_HEIF_DLLS} "${CMAKE_RUNTIME_OUTPUT_DIRECTORY}"
    DEPENDS libheif_build libde265_build
    COMMENT "Copying libheif.dll and libde265.dll beside the programs")
add_dependencies(heif heif_dlls)

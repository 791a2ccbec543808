# libwebp 1.2.4 built static from its source tree: only the decoder, the
# demuxer (animations, ICC and EXIF chunks) and what they need; no encoder.
set(ORLIVANE_WEBP_SOURCE "${CMAKE_SOURCE_DIR}/.deps/libwebp-1.2.4"
    CACHE PATH "libwebp 1.2.4 source tree")
if(NOT EXISTS "${ORLIVANE_WEBP_SOURCE}/src/webp/decode.h" OR NOT EXISTS "${ORLIVANE_WEBP_SOURCE}/src/demux/anim_decode.c")
    message(FATAL_ERROR "No libwebp source at ${ORLIVANE_WEBP_SOURCE} "
                        "(scripts/setup fetches it; elsewhere set ORLIVANE_WEBP_SOURCE)")
endif()

set(webp_dsp_decoding alpha_processing cpu dec dec_clip_tables filters lossless rescaler upsampling yuv)
set(webp_sources)
foreach(part IN ITEMS dec demux)
    file(GLOB part_sources "${ORLIVANE_WEBP_SOURCE}/src/${part}/*.c")
    list(APPEND webp_sources ${part_sources})
endforeach()
foreach(name IN ITEMS bit_reader_utils color_cache_utils filters_utils huffman_utils quant_levels_dec_utils
                      random_utils rescaler_utils thread_utils utils)
    list(APPEND webp_sources "${ORLIVANE_WEBP_SOURCE}/src/utils/${name}.c")
endforeach()
foreach(name IN LISTS webp_dsp_decoding)
    list(APPEND webp_sources "${ORLIVANE_WEBP_SOURCE}/src/dsp/${name}.c")
    foreach(simd IN ITEMS sse2 sse41)
        set(simd_source "${ORLIVANE_WEBP_SOURCE}/src/dsp/${name}_${simd}.c")
        if(EXISTS "${simd_source}")
            list(APPEND webp_sources "${simd_source}")
            if(simd STREQUAL "sse41")
                set_source_files_properties("${simd_source}" PROPERTIES COMPILE_OPTIONS -msse4.1)
            endif()
        endif()
    endforeach()
endforeach()

add_library(webp STATIC ${webp_sources})
target_include_directories(webp
    PUBLIC  "${ORLIVANE_WEBP_SOURCE}/src"
    PRIVATE "${ORLIVANE_WEBP_SOURCE}")
# SSE4.1 code is built in its own files and chosen when the processor has it;
# decoding runs its filtering on a second thread.
target_compile_definitions(webp PRIVATE WEBP_HAVE_SSE41 WEBP_USE_THREAD)
set_target_properties(webp PROPERTIES C_STANDARD 99 C_EXTENSIONS ON)
target_compile_options(webp PRIVATE -w)

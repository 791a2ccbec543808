# When cross-compiling, programs run under Wine through a wrapper that gives
# them this build tree's own prefix and the test display.
if(CMAKE_CROSSCOMPILING)
    set(ORLIVANE_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix")
    set(ORLIVANE_TESTENV "${CMAKE_BINARY_DIR}/testenv")
    configure_file("${CMAKE_SOURCE_DIR}/tests/support/wine-run.in"
                   "${CMAKE_BINARY_DIR}/wine-run" @ONLY
                   FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
                                    GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
    set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_BINARY_DIR}/wine-run")
endif()

# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 g++, in its POSIX thread model so
# that <thread> works.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(JARVET_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${JARVET_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${JARVET_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${JARVET_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${JARVET_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# ctest runs the test programs, and lists their tests, under Wine in a prefix of the build's own.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh
                                  ${CMAKE_BINARY_DIR}/wine-prefix)

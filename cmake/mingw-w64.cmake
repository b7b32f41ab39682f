# Cross-compiling for Windows with Debian's MinGW-w64 packages. The two
# toolchain files beside this one set QUORIX_TRIPLET and include it.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${QUORIX_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${QUORIX_TRIPLET}-g++)
set(CMAKE_RC_COMPILER ${QUORIX_TRIPLET}-windres)

# Headers and libraries come from the cross sysroot only; programs that run
# during the build (python3 for the icons) come from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${QUORIX_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

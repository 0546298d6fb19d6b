# Cross build for HFT_CROSS_TARGET (aarch64, s390x, ...) Linux with Debian's cross
# compilers. ctest runs the target's programs under qemu-user, with the target's
# libraries from the cross sysroot. Included by the per-target toolchain files.
set(triple ${HFT_CROSS_TARGET}-linux-gnu)
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR ${HFT_CROSS_TARGET})
set(CMAKE_C_COMPILER ${triple}-gcc)
set(CMAKE_CXX_COMPILER ${triple}-g++)
set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-${HFT_CROSS_TARGET} -L /usr/${triple})

# Cross build with Debian's cross compilers for the target HFT_CROSS_TRIPLE
# (aarch64-linux-gnu, s390x-linux-gnu, arm-linux-gnueabihf, ...), whose processor
# is HFT_CROSS_PROCESSOR. ctest runs the target's programs under qemu-user
# (HFT_CROSS_QEMU), with the target's libraries from the cross sysroot. Included
# by the per-target toolchain files.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR ${HFT_CROSS_PROCESSOR})
set(CMAKE_C_COMPILER ${HFT_CROSS_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${HFT_CROSS_TRIPLE}-g++)
set(CMAKE_FIND_ROOT_PATH /usr/${HFT_CROSS_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${HFT_CROSS_QEMU} -L /usr/${HFT_CROSS_TRIPLE})

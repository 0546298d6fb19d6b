# Toolchain for 32-bit ARM Linux (hard float), run under qemu-arm: long, size_t
# and pointers are 32 bits wide there.
set(HFT_CROSS_TRIPLE arm-linux-gnueabihf)
set(HFT_CROSS_PROCESSOR arm)
set(HFT_CROSS_QEMU qemu-arm)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)

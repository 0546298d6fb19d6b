# Toolchain for aarch64 Linux, run under qemu-aarch64.
set(HFT_CROSS_TRIPLE aarch64-linux-gnu)
set(HFT_CROSS_PROCESSOR aarch64)
set(HFT_CROSS_QEMU qemu-aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)

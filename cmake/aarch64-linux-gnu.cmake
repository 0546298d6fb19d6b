# Toolchain for aarch64 Linux, run under qemu-aarch64.
set(HFT_CROSS_TARGET aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)

# Toolchain for s390x (big-endian) Linux, run under qemu-s390x.
set(HFT_CROSS_TRIPLE s390x-linux-gnu)
set(HFT_CROSS_PROCESSOR s390x)
set(HFT_CROSS_QEMU qemu-s390x)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)

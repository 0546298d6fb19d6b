# Toolchain for s390x Linux, run under qemu-s390x.
set(HFT_CROSS_TARGET s390x)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)

# Cross build of the command line for 64-bit ARM Linux boards (Debian's
# g++-aarch64-linux-gnu), run on this machine under qemu-user.
set(TARVELLE_CROSS_TRIPLET aarch64-linux-gnu)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(TARVELLE_QEMU qemu-aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)

# Cross build of the command line for 32-bit ARM Linux boards with hardware
# floating point (Debian's armhf, g++-arm-linux-gnueabihf), run on this
# machine under qemu-user.
set(TARVELLE_CROSS_TRIPLET arm-linux-gnueabihf)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(TARVELLE_QEMU qemu-arm)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)

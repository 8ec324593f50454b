# What the ARM toolchain files share. Debian's cross compilers keep the
# target's libraries under /usr/<triplet> rather than in a sysroot of their
# own; qemu-user finds the target's loader and libraries there with -L, so a
# built program runs here without binfmt registration.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER ${TARVELLE_CROSS_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${TARVELLE_CROSS_TRIPLET}-g++)
set(CMAKE_FIND_ROOT_PATH /usr/${TARVELLE_CROSS_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Cached, so that the native build can read from this build's cache how to
# run its programs (its command-line tests run them a second time).
set(CMAKE_CROSSCOMPILING_EMULATOR ${TARVELLE_QEMU} -L /usr/${TARVELLE_CROSS_TRIPLET}
    CACHE STRING "how this machine runs the target's programs")

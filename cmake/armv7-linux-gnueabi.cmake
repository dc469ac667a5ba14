# Cross-build for the device: 32-bit ARMv7-A, ARM EABI, soft-float, glibc.
# Uses Debian's gcc-arm-linux-gnueabi and the armel (multiarch) libraries.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)

set(CMAKE_C_COMPILER arm-linux-gnueabi-gcc)
set(CMAKE_CXX_COMPILER arm-linux-gnueabi-g++)
set(CMAKE_CXX_FLAGS_INIT "-march=armv7-a -mfloat-abi=soft")

# pkg-config must see only the armel .pc files, never the build machine's.
set(ENV{PKG_CONFIG_LIBDIR} "/usr/lib/arm-linux-gnueabi/pkgconfig:/usr/share/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")

set(CMAKE_FIND_ROOT_PATH /usr/arm-linux-gnueabi /usr/lib/arm-linux-gnueabi)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)

# Tests run the ARM binary here under user-mode emulation.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-arm)

# Cross-compiles for aarch64 Linux with Debian's cross compiler (g++-aarch64-linux-gnu) and runs
# what it builds (test discovery, ctest) under qemu-user with Debian's aarch64 C library.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(tagtree_triple aarch64-linux-gnu)

set(CMAKE_C_COMPILER ${tagtree_triple}-gcc)
set(CMAKE_CXX_COMPILER ${tagtree_triple}-g++)
# The target's own C library goes first: that of its Debian multiarch packages, which
# ld.so.cache lists once they are in, would not match the cross one's dynamic loader.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64 -L /usr/${tagtree_triple}
    -E LD_LIBRARY_PATH=/usr/${tagtree_triple}/lib:/usr/lib/${tagtree_triple})

# Libraries, headers and packages only for the target, programs only from the host. The
# target's Debian packages (multiarch, as libutf8proc-dev:ARCH) put their libraries in
# /usr/lib/${tagtree_triple}, found under the root /, and their headers in /usr/include,
# which the cross compiler searches after its own.
set(CMAKE_FIND_ROOT_PATH /usr/${tagtree_triple} /)
set(CMAKE_LIBRARY_ARCHITECTURE ${tagtree_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

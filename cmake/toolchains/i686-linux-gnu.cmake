# Cross-compiles for 32-bit x86 Linux (Debian's i386) with Debian's cross compiler
# (g++-i686-linux-gnu) and runs what it builds (test discovery, ctest) under qemu-user with
# its C library. size_t has 32 bits there, half the width of the name index's hash.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(tagtree_triple i686-linux-gnu)

set(CMAKE_C_COMPILER ${tagtree_triple}-gcc)
set(CMAKE_CXX_COMPILER ${tagtree_triple}-g++)
# The cross compiler's own C library, which matches its dynamic loader.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-i386 -L /usr/${tagtree_triple}
    -E LD_LIBRARY_PATH=/usr/${tagtree_triple}/lib)

# Libraries, headers and packages only for the target, programs only from the host. Only
# tagtree is built for it, which needs no library of the target's beyond the C and C++
# ones the cross compiler brings.
set(CMAKE_FIND_ROOT_PATH /usr/${tagtree_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Native 32-bit x86 build against Debian's i386 multiarch packages.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
# SSE2 arithmetic keeps doubles at IEEE double precision, as on x86_64; x87's extended
# intermediates would make the kinematics' tie and threshold decisions differ by target.
set(CMAKE_C_FLAGS_INIT "-m32 -msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-m32 -msse2 -mfpmath=sse")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-m32")
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
set(CMAKE_IGNORE_PATH /usr/lib/x86_64-linux-gnu /usr/lib/x86_64-linux-gnu/cmake)
set(FIND_LIBRARY_USE_LIB64_PATHS OFF)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)

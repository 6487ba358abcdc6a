# WebAssembly for browsers and Node: Debian's clang with wasi-libc, libc++
# and lld (packages in scripts/setup); the sysroot is Debian's multiarch
# layout under /usr, which clang finds for this target by itself.
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR wasm32)

set(CMAKE_C_COMPILER clang-14)
set(CMAKE_CXX_COMPILER clang++-14)
set(CMAKE_C_COMPILER_TARGET wasm32-wasi)
set(CMAKE_CXX_COMPILER_TARGET wasm32-wasi)

# WebAssembly's double arithmetic is IEEE with round-to-nearest and no
# flushing; only fused multiply-add must be kept out. No exceptions and no
# RTTI, as in the shipped DLL: the module never throws, and the file stays small.
set(CMAKE_C_FLAGS_INIT "-ffp-contract=off")
set(CMAKE_CXX_FLAGS_INIT "-ffp-contract=off -fno-exceptions -fno-rtti")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-fuse-ld=lld")

# GNU ar writes archives of wasm objects without a symbol index, which wasm-ld
# then refuses; LLVM's archiver indexes them. Named here so that no build
# depends on which ar comes first on the PATH.
find_program(TESSEL_WASM_AR NAMES llvm-ar-14)
find_program(TESSEL_WASM_RANLIB NAMES llvm-ranlib-14)
if(NOT TESSEL_WASM_AR OR NOT TESSEL_WASM_RANLIB)
  message(FATAL_ERROR "the WebAssembly build needs llvm-ar-14 and llvm-ranlib-14 "
                      "(Debian package llvm-14, installed by scripts/setup)")
endif()
set(CMAKE_AR "${TESSEL_WASM_AR}" CACHE FILEPATH "archiver that indexes wasm objects" FORCE)
set(CMAKE_RANLIB "${TESSEL_WASM_RANLIB}" CACHE FILEPATH "ranlib that indexes wasm objects" FORCE)

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

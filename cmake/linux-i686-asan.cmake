# The native 32-bit Linux build with AddressSanitizer and UndefinedBehaviorSanitizer:
# every error stops the process, so a test that touches memory it does not own fails.
include(${CMAKE_CURRENT_LIST_DIR}/linux-i686.cmake)

set(sanitizers "-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer")
string(APPEND CMAKE_C_FLAGS_INIT " ${sanitizers}")
string(APPEND CMAKE_CXX_FLAGS_INIT " ${sanitizers}")
string(APPEND CMAKE_EXE_LINKER_FLAGS_INIT " -fsanitize=address,undefined")
string(APPEND CMAKE_SHARED_LINKER_FLAGS_INIT " -fsanitize=address,undefined")
string(APPEND CMAKE_MODULE_LINKER_FLAGS_INIT " -fsanitize=address,undefined")

// memcpy and memset for the WebAssembly build. The C library's copy a word at
// a time; the analysis copies every orbit's states into its history, and
// vectors clear what they grow by, so here they move 16 bytes at a time in
// the 128-bit vectors the build has. Bytes are only moved: nothing is computed.
#include <wasm_simd128.h>

#include <cstddef>
#include <cstdint>

extern "C" {

__attribute__((no_builtin)) void* memcpy(void* __restrict to, const void* __restrict from, size_t count)
{
    auto* out = static_cast<unsigned char*>(to);
    const auto* in = static_cast<const unsigned char*>(from);
    for (; count >= 16; count -= 16, in += 16, out += 16) wasm_v128_store(out, wasm_v128_load(in));
    for (; count > 0; --count) *out++ = *in++;
    return to;
}

__attribute__((no_builtin)) void* memset(void* to, int value, size_t count)
{
    auto* out = static_cast<unsigned char*>(to);
    const v128_t filled = wasm_i8x16_splat(static_cast<int8_t>(value));
    for (; count >= 16; count -= 16, out += 16) wasm_v128_store(out, filled);
    for (; count > 0; --count) *out++ = static_cast<unsigned char>(value);
    return to;
}
}

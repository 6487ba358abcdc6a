// The C++ runtime's handler for a call of a pure virtual function, which no
// correct program makes. libc++'s own prints a message through the C
// library's stdio, which would give the .wasm imports; this one traps.
extern "C" void __cxa_pure_virtual() { __builtin_trap(); }  // NOLINT(bugprone-reserved-identifier): the ABI's name

// The .wasm's calls, declared from their table (calls.def): each an exported
// C function of the table's name, result and parameters. The files that define
// them (facts_calls.cpp, instance_calls.cpp, signal_calls.cpp,
// verdict_calls.cpp, figure_calls.cpp) include this, so a definition that
// strays from its row does not compile; the build checks that the .wasm
// exports every row (scripts/make-wasm-calls --check-wasm).
#pragma once

#include <cstdint>

#include "point_judge.h"
#include "web_host.h"

#define WASM_GROUP(title)
#define WASM_CALL(name, result, parameters, doc) extern "C" __attribute__((export_name(#name))) result name parameters;
#include "calls.def"
#undef WASM_CALL
#undef WASM_GROUP

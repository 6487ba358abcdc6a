#!/usr/bin/env bash
# The layers depend one way: the framework includes nothing of the generator,
# and the host side (emulator, tools, benchmarks, fuzzer, the WebAssembly host,
# test support) sees the map module only through its narrow headers, never the
# class itself; the analysis stands on the map's step alone.
# Usage: check_layers.sh SOURCE_DIR
set -uo pipefail
cd "$1" || exit 1
failures=0
report() { [ -z "$2" ] || { echo "FAIL: $1:" >&2; echo "$2" >&2; failures=$((failures + 1)); }; }

report "the framework includes the generator" \
  "$(grep -rnE '#include.*generator/' framework/)"
# A test-only module library (tools/tests/*_module.cpp) is a module, not a host.
report "the host side compiles against MapModule" \
  "$(grep -rnE --exclude='*_module.cpp' '#include.*(generator/)?map_module\.h' host/ tools/ bench/ fuzz/ wasm/ tests/test_support.h)"

# The analysis is plain C++ over the map's step: a chart, a take, a benchmark
# and a WebAssembly page all use it, so it sees none of them.
report "the analysis includes the host side" \
  "$(grep -rnE '#include.*(host|tools|framework)/' analysis/)"

# The signals a host patches into the inputs build for every host, the
# WebAssembly one included: nothing of the emulator, the tools or the module.
report "the signals include the emulator, the tools or the module" \
  "$(grep -nE '#include.*(host_emulator|tools/|framework/|generator/)' host/signal.h host/signal.cpp)"

[ "$failures" -eq 0 ] && echo "layer checks passed"
exit $((failures > 0))

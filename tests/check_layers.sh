#!/usr/bin/env bash
# The layers depend one way. In the sources: the framework includes nothing of
# the generator; the numbers include nothing of the project; the host side
# (emulator, session, tools, benchmarks, fuzzer, the WebAssembly host, test
# support) sees the map module only through its narrow headers, never the
# class itself; the session, which both hosts drive
# the module through, knows neither the emulator nor a module's code; the
# WebAssembly host never the emulator; a verdict's words and colours stand on
# the analysis alone, and the analysis on the map's step alone. In the built
# archives (when given): what each leaves for the linker to find, so that no
# dependency comes in by a path the includes do not show.
# Usage: check_layers.sh SOURCE_DIR [NM SESSION.a POINT_JUDGE.a VERDICT.a ANALYSIS.a]
set -uo pipefail
source_dir=$1
archives=()
for archive in "${@:3}"; do archives+=("$(realpath "$archive")"); done
failures=0
report() { [ -z "$2" ] || { echo "FAIL: $1:" >&2; echo "$2" >&2; failures=$((failures + 1)); }; }

cd "$source_dir" || exit 1
report "the framework includes the generator" \
  "$(grep -rnE '#include.*generator/' framework/)"
# A test-only module library (tools/command_line/tests/*_module.cpp) is a module, not a host.
report "the host side compiles against MapModule" \
  "$(grep -rnE --exclude='*_module.cpp' '#include.*(generator/)?map_module\.h' host/ tools/ bench/ fuzz/ wasm/ tests/test_support.h)"
report "the session includes the emulator, a host of its own or a verdict" \
  "$(grep -rnE '#include.*(host/emulator/|tools/|wasm/|verdict/|framework/(module_base|pin|exports))' host/session/)"
report "the WebAssembly host includes the emulator" \
  "$(grep -rnE '#include.*host/emulator/' wasm/)"
report "the WebAssembly build links the emulator" \
  "$(grep -nE 'tessel_emulator\b' wasm/CMakeLists.txt)"
report "tessel-render's pictures include the host side or the tool's other rooms" \
  "$(grep -rnE '#include.*(host|framework|generator|wasm|tools/render|tools/command_line)/' tools/pictures/)"
# Numbers are read and written in one place for every layer above, so that
# place stands on the standard library alone.
report "the numbers include another part of the project" \
  "$(grep -rnE '#include "[a-z_]+/' numbers/ | grep -v '#include "numbers/')"
report "a verdict includes more than the analysis" \
  "$(grep -rnE '#include.*(host|tools|framework|generator|wasm)/' verdict/)"
# The analysis is plain C++ over the map's step: a chart, a take, a benchmark
# and a WebAssembly page all use it, so it sees none of them.
report "the analysis includes the host side" \
  "$(grep -rnE '#include.*(host|tools|framework|verdict|wasm)/' analysis/)"

# The symbols an archive needs from elsewhere that match a pattern.
needs() { "$nm" -C --undefined-only "$1" 2>/dev/null | grep -E "$2" | sort -u; }

if [ $# -ge 6 ]; then
  nm=$2
  session=${archives[0]} point_judge=${archives[1]} verdict=${archives[2]} analysis=${archives[3]}
  loading='dlopen|dlsym|LoadLibrary|GetProcAddress'
  emulator='host::(HostedModule|ModuleLibrary|builtModule|hostCallViolations|takeHostCallViolations|factoryOf)'
  module='makeModule|getModuleProperties|tessel::MapModule|sep::ModuleBase'
  report "the session needs a library loader, the emulator, a module or the analysis" \
    "$(needs "$session" "$loading|$emulator|$module|analysis::")"
  report "the chart's judge needs a library loader, the emulator or a module" \
    "$(needs "$point_judge" "$loading|$emulator|$module")"
  report "a verdict needs more than the analysis" \
    "$(needs "$verdict" "host::|sep::|tessel::|render::|web::|$loading")"
  report "the analysis needs the host side" \
    "$(needs "$analysis" "host::|sep::|tessel::|render::|web::|verdict::|$loading")"
  for archive in "$session" "$point_judge" "$verdict" "$analysis"; do
    "$nm" "$archive" >/dev/null 2>&1 || report "cannot read $archive" "$nm $archive"
  done
fi

# The signals a host patches into the inputs build for every host, the
# WebAssembly one included: nothing of the emulator, the tools or the module.
report "the signals include the emulator, the tools or the module" \
  "$(grep -rnE '#include.*(host/emulator/|tools/|framework/|generator/)' host/session/signals/)"

[ "$failures" -eq 0 ] && echo "layer checks passed"
exit $((failures > 0))

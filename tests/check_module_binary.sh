#!/usr/bin/env bash
# Checks what the built module library shows a loader: its exports, its
# imports and, for a DLL, the name in its export directory; and that the
# generator's code computes with SSE2, never with the x87 unit.
# Usage: check_module_binary.sh OBJDUMP MODULE [UNSTRIPPED]
# The x87 check finds functions by their symbols: for a stripped MODULE it
# reads UNSTRIPPED, the same link before stripping.
set -uo pipefail
objdump=$1
module=$2
unstripped=${3:-$2}
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

headers=$("$objdump" -p "$module") || { echo "FAIL: cannot read $module" >&2; exit 1; }

if grep -q "pei-i386" <<<"$headers"; then
  grep -qE "^Name[[:space:]]+[0-9a-f]+ Module\.sep$" <<<"$headers" || fail "export directory does not name Module.sep"
  exports=$(awk '/\[Ordinal\/Name Pointer\] Table/{f=1; next} f && /^\t\[/{print $NF; next} f{exit}' <<<"$headers" | sort | tr '\n' ' ')
  [ "$exports" = "getModuleProperties makeModule " ] || fail "exports are '$exports'"
  imports=$(awk '/DLL Name:/{print $3}' <<<"$headers" | sort | tr '\n' ' ')
  [ "$imports" = "KERNEL32.dll msvcrt.dll " ] || fail "imports are '$imports'"
else
  grep -q "file format elf32-i386" <<<"$("$objdump" -f "$module")" || fail "not a 32-bit i386 library"
  exports=$("$objdump" -T "$module" | awk '$2 ~ /g/ && $4 == ".text" {print $NF}' | sort | tr '\n' ' ')
  [ "$exports" = "getModuleProperties makeModule " ] || fail "exports are '$exports'"
fi

# The map's arithmetic must be SSE2 double: x87 keeps wider intermediates and
# rounds differently, about once in 10^8 iterations, and its control word is
# the one floating-point mode the process entries do not set. So no function
# the process entries can reach by a direct call or jump may hold an x87
# instruction. This needs the symbols of an unstripped link.
disassembly=$("$objdump" -d --no-show-raw-insn "$unstripped")
reach=$(awk '
  /^[0-9a-f]+ <.*>:$/ { name = $2; sub(/^</, "", name); sub(/>:$/, "", name); seen[name] = 1; next }
  name == "" { next }
  /\t(call|jmp)[a-z]* +(0x)?[0-9a-f]+ <[^+>]+>$/ {
    target = $NF; sub(/^</, "", target); sub(/>$/, "", target)
    if (target != name) calls[name] = calls[name] " " target
  }
  /\tf(add|sub|mul|div|ld|st|ild|ist|ucom|com|chs|abs|sqrt|xch|init|nstcw|ldcw)[a-z]* / { x87[name]++ }
  /\tmulsd / { mulsd[name]++ }
  END {
    n = 0
    for (f in seen) if (f ~ /MapModule.*process(Map|Countdown)/) { queue[n++] = f; reached[f] = 1; roots++ }
    for (i = 0; i < n; i++) {
      f = queue[i]
      k = split(calls[f], targets, " ")
      for (j = 1; j <= k; j++) if (!(targets[j] in reached) && (targets[j] in seen)) {
        reached[targets[j]] = 1; queue[n++] = targets[j]
      }
    }
    printf "roots %d reached %d\n", roots, n
    for (i = 0; i < n; i++) {
      f = queue[i]
      if (x87[f]) printf "x87 %s %d\n", f, x87[f]
      if (mulsd[f] && f ~ /processMap/) print "sse2 " f
    }
  }' <<<"$disassembly")
read -r _ roots _ reached <<<"$(head -1 <<<"$reach")"
[ "$roots" -ge 2 ] || fail "processMap and processCountdown not found (stripped?)"
while read -r kind function count; do
  fail "$function, reached from a process entry, uses the x87 unit ($count instructions)"
done < <(grep '^x87 ' <<<"$reach")
grep -q '^sse2 ' <<<"$reach" || fail "processMap does not compute in SSE2 double"

if [ "$failures" -eq 0 ]; then
  echo "module binary checks passed: $module ($reached functions reachable from the process entries)"
fi
exit $((failures > 0))

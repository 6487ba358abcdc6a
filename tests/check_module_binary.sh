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
# rounds differently, about once in 10^8 iterations.
disassembly=$("$objdump" -d --no-show-raw-insn "$unstripped")
for function in processMap processCountdown; do
  body=$(awk -v name="$function" '$0 ~ "^[0-9a-f]+ <.*MapModule.*" name ".*>:$" {f=1; next} f && /^$/ {exit} f' <<<"$disassembly")
  [ -n "$body" ] || { fail "$function not found"; continue; }
  x87=$(grep -cE $'\tf(add|sub|mul|div|ld|st|ild|ist|ucom|com|chs|abs)[a-z]* ' <<<"$body")
  [ "$x87" -eq 0 ] || fail "$function uses the x87 unit ($x87 instructions)"
done
grep -qE $'\tmulsd ' <<<"$(awk '/MapModule.*processMap.*>:$/{f=1; next} f && /^$/{exit} f' <<<"$disassembly")" \
  || fail "processMap does not compute in SSE2 double"

if [ "$failures" -eq 0 ]; then
  echo "module binary checks passed: $module"
fi
exit $((failures > 0))

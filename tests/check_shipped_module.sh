#!/usr/bin/env bash
# Checks the Module.sep that a release ships, beyond what a loader needs: it is
# stripped and small, carries no link time, and its version resource names the
# product and the version the build was configured with.
# Usage: check_shipped_module.sh OBJDUMP WINDRES MODULE VERSION
set -uo pipefail
objdump=$1
windres=$2
module=$3
version=$4
# What the shipped module may weigh, stripped.
max_bytes=32768
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

[ -f "$module" ] || { echo "FAIL: no $module" >&2; exit 1; }

size=$(stat -c %s "$module")
[ "$size" -le "$max_bytes" ] || fail "$module is $size bytes, more than $max_bytes"

flags=$("$objdump" -f "$module")
grep -qE "HAS_SYMS|HAS_DEBUG" <<<"$flags" && fail "$module is not stripped"
"$objdump" -h "$module" | grep -q " \.debug" && fail "$module has debug sections"
grep -qE $'^Time/Date\t+Thu Jan  1 00:00:00 1970$' <<<"$("$objdump" -p "$module")" \
  || fail "$module carries a time stamp"

# windres reads the resources back out of the DLL as resource script text.
resources=$("$windres" -i "$module" -O rc 2>&1) || { fail "cannot read resources: $resources"; resources=""; }
value() { sed -nE "s/^ *VALUE \"$1\", \"(.*)\"$/\1/p" <<<"$resources"; }
numeric=$(sed -E 's/^([0-9]+)\.([0-9]+)\.([0-9]+).*/\1, \2, \3, 0/' <<<"$version")
grep -qx " FILEVERSION $numeric" <<<"$resources" || fail "FILEVERSION is not $numeric"
grep -qx " PRODUCTVERSION $numeric" <<<"$resources" || fail "PRODUCTVERSION is not $numeric"
[ "$(value FileVersion)" = "$version" ] || fail "FileVersion is '$(value FileVersion)', not '$version'"
[ "$(value ProductVersion)" = "$version" ] || fail "ProductVersion is '$(value ProductVersion)', not '$version'"
[ "$(value ProductName)" = "Tessel Map" ] || fail "ProductName is '$(value ProductName)'"
[ "$(value OriginalFilename)" = "Module.sep" ] || fail "OriginalFilename is '$(value OriginalFilename)'"
[ -n "$(value FileDescription)" ] || fail "no FileDescription"
grep -q "the Tessel Map developers" <<<"$(value LegalCopyright)" || fail "LegalCopyright is '$(value LegalCopyright)'"

if [ "$failures" -eq 0 ]; then
  echo "shipped module checks passed: $module, $size bytes, version $version"
fi
exit $((failures > 0))

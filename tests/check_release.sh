#!/usr/bin/env bash
# Checks two releases of one commit, made by scripts/release in two build
# directories: the same bytes in both dist directories; the zip's listing,
# dates and checksums; the manual's pictures and WebAssembly module, its size,
# and the page itself in headless Chromium; and the Module.sep inside it,
# which must be the one the first build tested, with the right exports,
# imports, version resource and size.
# Usage: check_release.sh BUILD_A DIST_A BUILD_B DIST_B
set -uo pipefail
build_a=$1
dist_a=$2
build_b=$3
dist_b=$4
here=$(cd "$(dirname "$0")" && pwd)
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

version=$(cat "$build_a/win32/release-version.txt") || { echo "FAIL: no release in $build_a" >&2; exit 1; }
zip_name="tessel-map-$version-win32.zip"
zip="$dist_a/$zip_name"
[ -f "$zip" ] || { echo "FAIL: no $zip" >&2; exit 1; }
# The first build's own binutils; windres comes with objdump.
objdump=$(sed -n "s/^CMAKE_OBJDUMP:FILEPATH=//p" "$build_a/win32/CMakeCache.txt")
windres=${objdump%objdump}windres

# Reproducible: the second build, elsewhere and later, wrote the same bytes.
[ "$(ls -A "$dist_a")" = "$(ls -A "$dist_b")" ] || fail "the two releases wrote different files"
for file in "$dist_a"/*; do
  cmp -s "$file" "$dist_b/$(basename "$file")" || fail "$(basename "$file") differs between the two releases"
done
cmp -s "$build_a/win32/unstripped/Module.sep" "$build_b/win32/unstripped/Module.sep" \
  || fail "the two unstripped links differ"
(cd "$dist_a" && sha256sum --quiet -c SHA256SUMS) || fail "dist SHA256SUMS does not match"
grep -q "  $zip_name\$" "$dist_a/SHA256SUMS" || fail "dist SHA256SUMS does not name $zip_name"

unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$here" log -1 --format=%ct)}
python3 - "$zip" "$unpacked" "$epoch" <<'PY' || fail "the zip's listing is wrong"
import sys, time, zipfile
path, folder, epoch = sys.argv[1], sys.argv[2], int(sys.argv[3])
expected_names = ["Module.sep", "SHA256SUMS", "Tessel Map.html"]
stamp = time.gmtime(epoch)
expected_date = stamp[:5] + (stamp.tm_sec // 2 * 2,)  # zip dates count seconds in twos
with zipfile.ZipFile(path) as archive:
    entries = archive.infolist()
    names = [entry.filename for entry in entries]
    problems = [] if names == expected_names else [f"names are {names}"]
    for entry in entries:
        if entry.date_time != expected_date:
            problems.append(f"{entry.filename} is dated {entry.date_time}, not the commit's {expected_date}")
        if entry.extra:
            problems.append(f"{entry.filename} has extra fields")
    archive.extractall(folder)
for problem in problems:
    print("  " + problem, file=sys.stderr)
sys.exit(1 if problems else 0)
PY

(cd "$unpacked" && sha256sum --quiet -c SHA256SUMS) || fail "the zip's SHA256SUMS does not match its Module.sep"
cmp -s "$unpacked/Module.sep" "$build_a/win32/Module.sep" || fail "the zip's Module.sep is not the tested one"

manual="$unpacked/Tessel Map.html"
grep -q "<title>Tessel Map $version: user manual</title>" "$manual" || fail "the manual does not name $version"
python3 - "$manual" "$build_a" <<'PY' || fail "the manual does not hold what the release built"
import base64, re, sys
from pathlib import Path
manual, build = Path(sys.argv[1]).read_bytes(), Path(sys.argv[2])
problems = []
inlined = {
    "the take's picture": (rb'<img id="picture-take" src="data:image/png;base64,([A-Za-z0-9+/=]*)"', "tessel-map.png"),
    "the chart's picture": (rb'<img id="picture-chart" src="data:image/png;base64,([A-Za-z0-9+/=]*)"', "tessel-map-chart.png"),
    "the WebAssembly module": (rb'<script type="application/octet-stream" id="tessel-wasm">([A-Za-z0-9+/=]*)</script>',
                               "wasm/tessel-map.wasm"),
}
for what, (pattern, built) in inlined.items():
    found = re.findall(pattern, manual)
    if len(found) != 1 or base64.b64decode(found[0]) != (build / built).read_bytes():
        problems.append(f"{what} is not the one built ({len(found)} found)")
if len(manual) > 1_000_000:
    problems.append(f"the manual is {len(manual)} bytes, more than 1,000,000")
for problem in problems:
    print("  " + problem, file=sys.stderr)
sys.exit(1 if problems else 0)
PY
# The zipped page itself, offline in headless Chromium: it starts, draws, plays, and asks nothing of the network.
/usr/bin/python3 "$here/browser/page_tests.py" --smoke "$manual" || fail "the zipped manual in the browser"

"$here/check_module_binary.sh" "$objdump" "$unpacked/Module.sep" "$build_a/win32/unstripped/Module.sep" \
  || fail "module binary checks"
"$here/check_shipped_module.sh" "$objdump" "$windres" "$unpacked/Module.sep" "$version" \
  || fail "shipped module checks"

if [ "$failures" -eq 0 ]; then
  echo "release checks passed: $zip, the same bytes twice"
fi
exit $((failures > 0))

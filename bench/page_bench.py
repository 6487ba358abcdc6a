#!/usr/bin/python3
"""The explorer's chart in headless Chromium: the time to the first coarse view
of the whole plane and to the complete default chart (600x400 points, 8192
steps each, one worker per core), next to tessel-render drawing the same chart
natively in the same run, the floor; and the redraw after a change of a. Rows for scripts/bench, not tests: the
machine is shared and its timings are noisy.

Usage: page_bench.py PAGE TESSEL_RENDER [--runs N]
"""
import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "tests" / "browser"))
from harness import Browser  # noqa: E402

FIRST_VIEW_TARGET_S = 1.0
REDRAW_TARGET_MS = 50.0
REDRAWS = 21
COMPLETE_TARGET_S = 15.0


def page_chart(page):
    with Browser() as browser:
        browser.open(page)
        browser.wait_for("return window.tesselExplorer !== undefined")
        timing = browser.wait_for(
            "const c = window.tesselExplorer.chart; const t = c.progress().timing;"
            "return t.complete !== undefined && {coarse: t.coarse, complete: t.complete,"
            " started: t.started, workers: c.workers}", timeout=300, interval=0.2)
        # The take and its pictures after a change of a, as the slider makes them.
        timing["redraw"] = browser.driver.execute_script(
            "const e = window.tesselExplorer; const times = [];"
            "for (let k = 0; k < REDRAWS; k++) { const t = performance.now(); e.set({a: 1.2 + 0.01 * k});"
            " times.push(performance.now() - t); }"
            "times.sort((p, q) => p - q); return times[times.length >> 1];".replace("REDRAWS", str(REDRAWS)))
    return timing


def native_chart(render):
    with tempfile.TemporaryDirectory() as folder:
        started = time.monotonic()
        subprocess.run([render, "--quiet", "--chart-data", os.path.join(folder, "chart.csv")], check=True)
        return time.monotonic() - started


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("page")
    parser.add_argument("render")
    parser.add_argument("--runs", type=int, default=3)
    arguments = parser.parse_args()
    pages, natives = [], []
    for _ in range(arguments.runs):
        natives.append(native_chart(arguments.render))
        pages.append(page_chart(arguments.page))
    first = statistics.median(p["coarse"] for p in pages) / 1000
    # From the page's start, so loading the module and the workers counts too.
    first_from_load = statistics.median((p["started"] + p["coarse"]) for p in pages) / 1000
    complete = statistics.median(p["complete"] for p in pages) / 1000
    redraw = statistics.median(p["redraw"] for p in pages)
    native = statistics.median(natives)
    workers = pages[0]["workers"]
    print(f"| case | page | native floor | ratio | target | result |")
    print(f"|---|---:|---:|---:|---:|---|")
    print(f"| chart 600x400, 8192 steps, first coarse view ({workers} workers) | {first:.2f} s | | | "
          f"≤ {FIRST_VIEW_TARGET_S:.0f} s | {'pass' if first <= FIRST_VIEW_TARGET_S else 'over'} |")
    print(f"| (the same, counted from the page's start) | {first_from_load:.2f} s | | | — | — |")
    print(f"| chart 600x400, 8192 steps, complete ({workers} workers) | {complete:.2f} s | {native:.2f} s | "
          f"{complete / native:.2f} | ≤ {COMPLETE_TARGET_S:.0f} s | "
          f"{'pass' if complete <= COMPLETE_TARGET_S else 'over'} |")
    print(f"| redraw after a change of a | {redraw:.1f} ms | | | "
          f"≤ {REDRAW_TARGET_MS:.0f} ms | {'pass' if redraw <= REDRAW_TARGET_MS else 'over'} |")
    print(f"(medians of {arguments.runs} runs; the floor is tessel-render --chart-data, native, on every core)")


if __name__ == "__main__":
    sys.exit(main())

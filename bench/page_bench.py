#!/usr/bin/python3
"""The explorer's chart in headless Chromium: the time to the first coarse view
of the whole plane, to the complete default chart (600x400 points, 8192 steps
each, one worker per core) and to the complete chart zoomed in, each next to
tessel-render drawing the same chart natively in the same run, the floor; and
the redraw after a change of a. Rows for scripts/bench, not tests: the machine
is shared and its timings are noisy.

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
from page_common import CHART_HEIGHT, CHART_WIDTH  # noqa: E402

FIRST_VIEW_TARGET_S = 1.0
REDRAW_TARGET_MS = 50.0
REDRAWS = 21
# The page's complete chart within this many times tessel-render's.
COMPLETE_TARGET_RATIO = 1.3
# The zoomed view: a from, to and b from, to, in volts.
ZOOM = ((1.0, 1.1), (0.25, 0.35))
CHART = "window.tesselExplorer.chart"
COMPLETE = (f"const c = {CHART}; const t = c.progress().timing;"
            "return t.complete !== undefined && {coarse: t.coarse, complete: t.complete,"
            " started: t.started, workers: c.workers}")


def grid_point(view, a, b):
    """The grid point, in fractions of points as a drag's ends may be, whose volts are a and b within `view`."""
    return {"i": (a - view["acrossLow"]) / (view["acrossHigh"] - view["acrossLow"]) * CHART_WIDTH - 0.5,
            "j": (b - view["upLow"]) / (view["upHigh"] - view["upLow"]) * CHART_HEIGHT - 0.5}


def zoom(browser):
    """Zooms to ZOOM as a drag from one of its corners to the other does; the time to its complete chart."""
    view = browser.driver.execute_script(f"return {CHART}.view")
    (a_low, a_high), (b_low, b_high) = ZOOM
    browser.driver.execute_script(f"{CHART}.zoomTo(arguments[0], arguments[1])",
                                  grid_point(view, a_low, b_low), grid_point(view, a_high, b_high))
    return browser.wait_for(COMPLETE, timeout=300, interval=0.2)["complete"]


def page_chart(page):
    with Browser() as browser:
        browser.open(page)
        browser.wait_for("return window.tesselExplorer !== undefined")
        timing = browser.wait_for(COMPLETE, timeout=300, interval=0.2)
        # The zoom once the chart of starting points is done too, so that it has the cores as tessel-render has.
        browser.wait_for("return window.tesselExplorer.startChart.progress().complete", timeout=300, interval=0.2)
        timing["zoomed"] = zoom(browser)
        # The take and its pictures after a change of a, as the slider makes them.
        timing["redraw"] = browser.driver.execute_script(
            "const e = window.tesselExplorer; const times = [];"
            "for (let k = 0; k < REDRAWS; k++) { const t = performance.now(); e.set({a: 1.2 + 0.01 * k});"
            " times.push(performance.now() - t); }"
            "times.sort((p, q) => p - q); return times[times.length >> 1];".replace("REDRAWS", str(REDRAWS)))
    return timing


def native_chart(render, *ranges):
    with tempfile.TemporaryDirectory() as folder:
        started = time.monotonic()
        subprocess.run([render, "--quiet", "--chart", os.path.join(folder, "chart.png"), *ranges], check=True)
        return time.monotonic() - started


def verdict(ratio):
    return f"{ratio:.2f} | ≤ {COMPLETE_TARGET_RATIO:.2f} | {'pass' if ratio <= COMPLETE_TARGET_RATIO else 'over'}"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("page")
    parser.add_argument("render")
    # Five: this machine's timings wander by a fifth from run to run, the page's more than the native tool's.
    parser.add_argument("--runs", type=int, default=5)
    arguments = parser.parse_args()
    (a_low, a_high), (b_low, b_high) = ZOOM
    zoomed_ranges = ["--a-range", f"{a_low}:{a_high}", "--b-range", f"{b_low}:{b_high}"]
    pages, natives, natives_zoomed = [], [], []
    for _ in range(arguments.runs):
        natives.append(native_chart(arguments.render))
        natives_zoomed.append(native_chart(arguments.render, *zoomed_ranges))
        pages.append(page_chart(arguments.page))
    first = statistics.median(p["coarse"] for p in pages) / 1000
    # From the page's start, so loading the module and the workers counts too.
    first_from_load = statistics.median((p["started"] + p["coarse"]) for p in pages) / 1000
    complete = statistics.median(p["complete"] for p in pages) / 1000
    zoomed = statistics.median(p["zoomed"] for p in pages) / 1000
    redraw = statistics.median(p["redraw"] for p in pages)
    native = statistics.median(natives)
    native_zoomed = statistics.median(natives_zoomed)
    workers = pages[0]["workers"]
    print(f"| case | page | native floor | ratio | target | result |")
    print(f"|---|---:|---:|---:|---:|---|")
    print(f"| chart 600x400, 8192 steps, first coarse view ({workers} workers) | {first:.2f} s | | | "
          f"≤ {FIRST_VIEW_TARGET_S:.0f} s | {'pass' if first <= FIRST_VIEW_TARGET_S else 'over'} |")
    print(f"| (the same, counted from the page's start) | {first_from_load:.2f} s | | | — | — |")
    print(f"| chart 600x400, 8192 steps, complete ({workers} workers) | {complete:.2f} s | {native:.2f} s | "
          f"{verdict(complete / native)} |")
    print(f"| the same zoomed to a {a_low}..{a_high} V, b {b_low}..{b_high} V, complete | {zoomed:.2f} s | "
          f"{native_zoomed:.2f} s | {verdict(zoomed / native_zoomed)} |")
    print(f"| redraw after a change of a | {redraw:.1f} ms | | | "
          f"≤ {REDRAW_TARGET_MS:.0f} ms | {'pass' if redraw <= REDRAW_TARGET_MS else 'over'} |")
    print(f"(medians of {arguments.runs} runs; the floor is tessel-render --chart, native, on every core)")


if __name__ == "__main__":
    sys.exit(main())

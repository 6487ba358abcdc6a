#!/usr/bin/python3
"""The manual's explorer in headless Chromium, opened from file:// with the
network refused, one test at a time, each in a fresh browser. The native
module, through tessel-render, says what the page must show and play.

Usage: page_tests.py PAGE TESSEL_RENDER [--only NAME ...] [--smoke]
--smoke runs only the tests that need no tool beside the page (for the
release's zipped page). Prints PASS/FAIL per test and, last,
"browser tests: N passed, M failed"; exits non-zero on any failure.
"""
import argparse
import base64
import csv
import math
import struct
import subprocess
import sys
import tempfile
import traceback
from pathlib import Path

from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys

import chart_tests
import controls_tests
import glossary_tests
import lfo_tests
import patches_tests
import reach_tests
import record_tests
import sound_tests
import start_chart_tests
import state_tests
from harness import Browser
from page_common import (
    CHART_DONE, CHART_STEPS, CHART_WIDTH, COARSE_DONE, PRESSED, READY, TAKE_SECONDS, Context, check_no_problems,
    click_point, double_click, first_difference, floats, fragment, fround, press, signal_of, tool_report,
    wait_for_chart,
)


# --- the tests ----------------------------------------------------------------------
def harness_catches_leaks(context):
    """The harness sees a console warning and error and a request that leaves the file."""
    fixture = context.folder / "leaky.html"
    fixture.write_text("<!DOCTYPE html><title>leaky</title><img src='http://example.invalid/x.png'>"
                       "<script>console.warn('a warning'); console.error('an error');"
                       "fetch('https://example.invalid/data').catch(() => {});</script>")
    with Browser() as browser:
        browser.open(fixture)
        browser.wait_for("return document.readyState === 'complete'")
        problems = "\n".join(browser.problems())
    for expected in ("a warning", "an error", "http://example.invalid/x.png", "https://example.invalid/data"):
        assert expected in problems, f"the harness missed {expected!r}; it found:\n{problems}"


def opens_offline(context):
    """The explorer starts from file:// offline, draws, charts the whole plane coarsely, and says nothing amiss."""
    with Browser() as browser:
        browser.open(context.page)
        wait_for_chart(browser)
        state = browser.driver.execute_script(
            "const e = window.tesselExplorer;"
            "return {app: !document.getElementById('explorer-app').hidden,"
            " verdict: document.getElementById('verdict').textContent,"
            " notice: document.getElementById('explorer-notice').hidden, samples: e.take().x.length,"
            " workers: e.chart.workers, cores: navigator.hardwareConcurrency}")
        check_no_problems(browser)
    assert state["app"] and state["notice"], f"the explorer is not shown in place of the notice: {state}"
    assert state["samples"] == 88200, state
    assert state["verdict"] == "Continuous: noise, rough", state
    assert state["workers"] == state["cores"], state


# (what the browser lacks, a script that takes it away before the page runs, the notice's start, explorer shown)
WITHOUT = [
    ("JavaScript", None, "This page holds an explorer", False),
    ("WebAssembly", "delete window.WebAssembly;", "This browser lacks WebAssembly", False),
    ("Web Audio worklets", "delete window.AudioWorkletNode;", "This browser lacks Web Audio worklets", True),
]


def reads_without_what_it_needs(context):
    """Without JavaScript, WebAssembly or Web Audio the page reads as the manual, with a notice and both pictures."""
    failures = []
    for lacking, removal, notice_start, explorer_shown in WITHOUT:
        with Browser(javascript=removal is not None) as browser:
            if removal:
                browser.before_every_page(removal)
            browser.open(context.page)
            browser.wait_for("return document.readyState === 'complete'")
            if explorer_shown:
                browser.wait_for(READY)
            notice = browser.driver.find_element(By.ID, "explorer-notice")
            app = browser.driver.find_element(By.ID, "explorer-app")
            pictures = [browser.driver.find_element(By.ID, name) for name in ("picture-take", "picture-chart")]
            boxes = [picture.rect for picture in pictures]
            if not notice.is_displayed() or not notice.text.startswith(notice_start):
                failures.append(f"without {lacking}: the notice reads {notice.text!r}")
            if app.is_displayed() != explorer_shown:
                failures.append(f"without {lacking}: the explorer is {'' if app.is_displayed() else 'not '}shown")
            if not all(picture.is_displayed() for picture in pictures) or abs(boxes[0]["y"] - boxes[1]["y"]) > 1:
                failures.append(f"without {lacking}: the two pictures are not side by side: {boxes}")
            if explorer_shown and browser.driver.find_element(By.ID, "play").is_enabled():
                failures.append(f"without {lacking}: Play is offered")
            check_no_problems(browser)
    assert not failures, "\n".join(failures)


# Settings as on the pins; resets (seconds) apply to the sound only: the drawing is always a take from a reset.
SAMPLE_CASES = [
    ("continuous, normalize on, 44100 Hz", dict(a="1.4", b="0.3", x0="0", y0="0", mode="continuous", gate=1000,
                                                 normalize="on", rate=44100), (), 0.1),
    ("continuous, normalize off, 48000 Hz", dict(a="1.2", b="0.25", x0="0.1", y0="-0.05", mode="continuous", gate=1000,
                                                  normalize="off", rate=48000), (0.75,), 1.0),
    ("gated 500 Hz, resets", dict(a="1.4", b="0.3", x0="0", y0="0", mode="gated", gate=500, normalize="on",
                                  rate=44100), (0.5, 1.25), 0.25),
    ("gated 3000 Hz, normalize off, 48000 Hz", dict(a="0.9", b="-0.3", x0="0.5", y0="0.2", mode="gated", gate=3000,
                                                    normalize="off", rate=48000), (), 0.1),
    ("an orbit that stops, then a reset", dict(a="1.6", b="0.3", x0="0", y0="0", mode="continuous", gate=1000,
                                               normalize="on", rate=44100), (1.0,), 0.1),
]


def samples_equal_native(context):
    """The drawn take and the played sound equal tessel-render's output bit for bit."""
    failures = []
    with Browser() as browser:
        for name, settings, resets, volume in SAMPLE_CASES:
            browser.open(context.page, fragment(settings))
            browser.wait_for(READY)
            drawn = base64.b64decode(browser.call("window.tesselExplorer.takeBytes()"))
            native = context.native_take(settings, 2)
            failures.append(first_difference(drawn, native, f"{name}, drawn"))
            rate = settings["rate"]
            frames = [round(at * rate) for at in resets]
            page_settings = dict(a=float(settings["a"]), b=float(settings["b"]), x0=float(settings["x0"]),
                                 y0=float(settings["y0"]), mode=settings["mode"], gate=settings["gate"],
                                 normalize=settings["normalize"] == "on", rate=rate)
            played = base64.b64decode(browser.call("window.tesselExplorer.soundBytes(...args)",
                                                   page_settings, 2 * rate, frames, volume))
            native_reset = context.native_take(settings, 2, resets)
            gain = fround(volume)
            expected = struct.pack(f"<{len(native_reset) // 4}f",
                                   *(fround(s * gain) for s in floats(native_reset)))
            failures.append(first_difference(played, expected, f"{name}, played at volume {volume}"))
        check_no_problems(browser)
    failures = [failure for failure in failures if failure]
    assert not failures, "\n".join(failures)


# Chart points (across, up) of the default chart: chaos by a 1.4 V, b 0.3 V; a constant; a tone of period 8;
# stopping after 1 and 2 iterates; quasi on the bottom row; chaos on a rounding cycle of period 84.
CHART_POINTS = [(287, 259), (150, 200), (245, 259), (590, 380), (10, 10), (44, 0), (351, 143)]


def chart_clicks_agree(context):
    """Clicking the chart sets a and b to the points' floats; the verdict, short and exact, is tessel-render's report on
    the take drawn there; the hovered point's words are its report on a take of the chart's steps."""
    table = context.folder / "chart.csv"
    subprocess.run([context.render, "--quiet", "--chart-data", str(table)], check=True)
    with open(table, newline="") as rows:
        chart = list(csv.DictReader(rows))
    failures = []
    with Browser() as browser:
        browser.open(context.page)
        wait_for_chart(browser)
        browser.wait_for(CHART_DONE, timeout=300, interval=0.5)
        canvas = browser.driver.find_element(By.ID, "chart")
        for i, j in CHART_POINTS:
            row = chart[j * CHART_WIDTH + i]
            click_point(browser, canvas, i, j)
            settings = browser.driver.execute_script("return window.tesselExplorer.settings")
            verdict = browser.driver.execute_script(
                "return ['verdict', 'verdict-exact'].map((id) => document.getElementById(id).textContent)")
            for name in ("a", "b"):
                if signal_of(settings[name]) != signal_of(float(row[name])):
                    failures.append(f"point {i},{j}: {name} is {settings[name]} V in the page, "
                                    f"{row[name]} V in the CSV")
            report = tool_report(context, row, 44100, TAKE_SECONDS)
            expected = ["Continuous: " + report["short"], "Continuous: " + report["exact"]]
            if verdict != expected:
                failures.append(f"point {i},{j}: the page says {verdict!r}, tessel-render {expected!r}")
            hovered = browser.driver.find_element(By.ID, "chart-hover").text
            chart_report = tool_report(context, row, 44100, CHART_STEPS / 44100)
            said = f"{chart_report['short']} (exactly: {chart_report['exact']})"
            if not hovered.endswith(said):
                failures.append(f"point {i},{j}: hovered, the chart says {hovered!r}, tessel-render {said!r}")
        check_no_problems(browser)
    assert not failures, "\n".join(failures)


def attractor_follows_a(context):
    """Typing a new a redraws the attractor and changes the take and the fragment; a new fragment sets the controls."""
    with Browser() as browser:
        browser.open(context.page)
        browser.wait_for(READY)
        picture = "return document.getElementById('attractor').toDataURL()"
        before = browser.driver.execute_script(picture)
        take_before = browser.call("window.tesselExplorer.takeBytes()")
        field = browser.driver.find_element(By.ID, "a-number")
        # Typed over, as a musician replaces a value: an emptied field puts back the value in effect.
        field.send_keys(Keys.CONTROL, "a")
        field.send_keys("1.3", Keys.ENTER)
        after = browser.driver.execute_script(picture)
        take_after = browser.call("window.tesselExplorer.takeBytes()")
        hash_now = browser.driver.execute_script("return location.hash")
        draw_ms = browser.driver.execute_script(
            "const t = performance.now(); window.tesselExplorer.set({a: 1.25}); return performance.now() - t")
        # A link pasted into the address bar sets the controls.
        browser.driver.execute_script("location.hash = 'a=1.1&b=0.2&mode=gated&gate=250'")
        from_link = browser.wait_for(
            "const s = window.tesselExplorer.settings;"
            "return s.a === 1.1 && [document.getElementById('a-number').value, s.b, s.mode, s.gate]")
        check_no_problems(browser)
    assert before != after, "the attractor did not change with a"
    assert take_before != take_after, "the take did not change with a"
    assert "a=1.3&" in hash_now, f"the fragment does not hold the new a: {hash_now}"
    assert from_link == ["1.1", 0.2, "gated", 250], f"a link's settings did not reach the controls: {from_link}"
    print(f"  (redrawn in {draw_ms:.1f} ms)")


# (typed text, accepted?, the value a then holds, or None where a keeps its value)
BAD_INPUTS = [
    ("abc", False, None),
    ("NaN", False, None),
    ("Infinity", False, None),
    ("", False, None),
    ("1.2.3", False, None),
    ("7", True, 4.0),
    ("-12", True, -1.0),
    ("1e400", True, 4.0),
    ("-1e999", True, -1.0),
    ("2.5", True, 2.5),
]


def bad_input_refused_or_clamped(context):
    """Text, NaN, out-of-range and huge numbers are refused or clamped, visibly, and never reach the map."""
    failures = []
    with Browser() as browser:
        browser.open(context.page)
        browser.wait_for(READY)
        field = browser.driver.find_element(By.ID, "a-number")
        message = browser.driver.find_element(By.ID, "a-message")
        for text, accepted, value in BAD_INPUTS:
            before = browser.driver.execute_script("return window.tesselExplorer.settings.a")
            field.send_keys(Keys.CONTROL, "a")
            field.send_keys(Keys.DELETE)
            field.send_keys(text, Keys.ENTER)
            now = browser.driver.execute_script("return window.tesselExplorer.settings.a")
            invalid = field.get_attribute("aria-invalid") == "true"
            shown = message.text
            expected = value if accepted else before
            if now != expected:
                failures.append(f"{text!r}: a is {now}, expected {expected}")
            if accepted and value in (4.0, -1.0) and (not shown or field.get_attribute("value") != f"{value:g}"):
                failures.append(f"{text!r}: clamped, but the field shows {field.get_attribute('value')!r} "
                                f"and says {shown!r}")
            if not accepted and not (invalid and shown):
                failures.append(f"{text!r}: refused without showing it (aria-invalid {invalid}, message {shown!r})")
            if not math.isfinite(now):
                failures.append(f"{text!r}: a is {now}")
        check_no_problems(browser)
    assert not failures, "\n".join(failures)


def drag(browser, canvas, box, dx, dy):
    """Drags from a little up and left of the chart's centre to its centre."""
    ActionChains(browser.driver).move_to_element_with_offset(canvas, -dx, -dy).click_and_hold() \
        .move_by_offset(dx // 2, dy // 2).move_by_offset(dx - dx // 2, dy - dy // 2).release().perform()


def zoom_stops_at_floats(context):
    """Dragging zooms in to the rectangle, down to the floats' resolution and no further; double-click zooms out."""
    view = "return window.tesselExplorer.chart.view"
    span = lambda v: v["acrossHigh"] - v["acrossLow"]
    with Browser() as browser:
        browser.open(context.page)
        wait_for_chart(browser)
        canvas = browser.driver.find_element(By.ID, "chart")
        box = browser.driver.execute_script(
            "const r = arguments[0].getBoundingClientRect(); return [r.width, r.height];", canvas)
        whole = browser.driver.execute_script(view)
        drag(browser, canvas, box, int(box[0] / 20), int(box[1] / 20))
        zoomed = browser.driver.execute_script(view)
        double_click(browser, *browser.driver.execute_script(
            "const r = arguments[0].getBoundingClientRect(); return [r.left + r.width / 2, r.top + r.height / 2]",
            canvas))
        out = browser.driver.execute_script(view)
        views = [whole]
        for _ in range(12):
            drag(browser, canvas, box, int(box[0] / 20), int(box[1] / 20))
            views.append(browser.driver.execute_script(view))
        note = browser.driver.find_element(By.ID, "chart-range").text
        floats_distinct = browser.driver.execute_script(
            "const v = window.tesselExplorer.chart.points(); const f = Math.fround;"
            "const a = Array.from(v.across, (x) => f(x / 10)); const b = Array.from(v.up, (x) => f(x / 10));"
            "return a.every((x, i) => i === 0 || x > a[i - 1]) && b.every((x, i) => i === 0 || x > b[i - 1]);")
        browser.wait_for(COARSE_DONE, timeout=60)
        check_no_problems(browser)
    assert span(zoomed) < span(whole) / 5, f"the drag did not zoom: {zoomed}"
    assert out == whole, f"double-click did not zoom back out: {out}"
    assert "floats' resolution" in note, f"the chart does not say where zooming stops: {note!r}"
    assert span(views[-1]) > span(views[-2]) / 4, "zooming went on past the floats' resolution"
    assert floats_distinct, "at the deepest zoom, neighbouring points share a float"


def play_and_stop(context):
    """Play starts the worklet at the chosen rate; Stop ends it; Copy copies or selects the patch; nothing complains."""
    with Browser() as browser:
        browser.open(context.page, "rate=48000")
        browser.wait_for(READY)
        press(browser, "copy")
        copied = browser.wait_for("const t = document.getElementById('copy').textContent; return t !== 'Copy' && t")
        press(browser, "play")
        state = browser.wait_for("const p = window.tesselExplorer.audio;"
                                 "return p.node && p.state === 'running' && [p.sampleRate, p.state]")
        press(browser, "reset")
        press(browser, "play")
        stopped = browser.wait_for("return !window.tesselExplorer.audio.playing")
        check_no_problems(browser)
    assert state == [48000, "running"], state
    assert stopped
    assert copied in ("Copied", "Selected: copy it"), copied


def zoom_buttons(context):
    """Zoom out goes back one zoom, Whole plane to the pins' ranges; neither moves a and b, nor offers itself unzoomed."""
    view = "return window.tesselExplorer.chart.view"
    a_b = "const s = window.tesselExplorer.settings; return [s.a, s.b]"
    offered = "return ['zoom-out', 'zoom-whole'].map((id) => !document.getElementById(id).disabled)"
    with Browser() as browser:
        browser.open(context.page, "a=1.2&b=0.25")
        wait_for_chart(browser)
        canvas = browser.driver.find_element(By.ID, "chart")
        box = browser.driver.execute_script(
            "const r = arguments[0].getBoundingClientRect(); return [r.width, r.height];", canvas)
        whole, unzoomed_offers = browser.driver.execute_script(view), browser.driver.execute_script(offered)
        views = []
        for _ in range(2):
            drag(browser, canvas, box, int(box[0] / 10), int(box[1] / 10))
            views.append(browser.driver.execute_script(view))
        zoomed_offers = browser.driver.execute_script(offered)
        press(browser, "zoom-out")
        out = browser.driver.execute_script(view)
        drag(browser, canvas, box, int(box[0] / 10), int(box[1] / 10))
        press(browser, "zoom-whole")
        back, after_offers = browser.driver.execute_script(view), browser.driver.execute_script(offered)
        settings = browser.driver.execute_script(a_b)
        browser.wait_for(COARSE_DONE, timeout=60)
        check_no_problems(browser)
    assert views[0] != whole and views[1] != views[0], f"the drags did not zoom: {views}"
    assert out == views[0], f"Zoom out did not go back one zoom: {out}, expected {views[0]}"
    assert back == whole, f"Whole plane did not show the whole plane: {back}"
    assert settings == [1.2, 0.25], f"the buttons moved a and b: {settings}"
    assert unzoomed_offers == [False, False] and after_offers == [False, False], \
        f"unzoomed, the buttons are offered: {unzoomed_offers}, {after_offers}"
    assert zoomed_offers == [True, True], f"zoomed in, the buttons are not offered: {zoomed_offers}"


def every_button_pressed(context):
    """The tests before this one pressed every button of the page."""
    with Browser() as browser:
        browser.open(context.page)
        browser.wait_for(READY)
        buttons = set(browser.driver.execute_script(
            "return Array.from(document.querySelectorAll('button'), (button) => button.id)"))
    assert buttons - PRESSED == set(), f"no test presses {sorted(buttons - PRESSED)}"


# Each topic's module lists its own tests; the last test here looks back over all of them.
TESTS = [harness_catches_leaks, opens_offline, reads_without_what_it_needs, samples_equal_native, chart_clicks_agree,
         attractor_follows_a, bad_input_refused_or_clamped, zoom_stops_at_floats, zoom_buttons, play_and_stop] \
    + chart_tests.TESTS + controls_tests.TESTS + state_tests.TESTS + sound_tests.TESTS \
    + lfo_tests.TESTS + reach_tests.TESTS + record_tests.TESTS + patches_tests.TESTS + start_chart_tests.TESTS \
    + glossary_tests.TESTS     + [every_button_pressed]
# What runs on a page with no tool beside it: the release's zipped manual.
SMOKE = [opens_offline, reads_without_what_it_needs, attractor_follows_a, play_and_stop]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("page")
    parser.add_argument("render", nargs="?", default="")
    parser.add_argument("--only", action="append", default=[])
    parser.add_argument("--smoke", action="store_true")
    arguments = parser.parse_args()
    chosen = SMOKE if arguments.smoke else TESTS
    if arguments.only:
        chosen = [test for test in TESTS if test.__name__ in arguments.only]
    passed = failed = 0
    with tempfile.TemporaryDirectory(prefix="tessel-page-tests-") as folder:
        context = Context(Path(arguments.page), arguments.render, folder)
        for test in chosen:
            try:
                test(context)
                print(f"PASS {test.__name__}", flush=True)
                passed += 1
            except Exception as error:
                detail = str(error) if isinstance(error, AssertionError) else traceback.format_exc(limit=-2)
                print(f"FAIL {test.__name__}: {test.__doc__}\n{detail}", flush=True)
                failed += 1
    print(f"browser tests: {passed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())

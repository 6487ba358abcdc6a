"""The drawn take's sound: its spectrum's lines, the manual's patch ideas loaded by their links, the take
saved as tessel-render's WAV, and a slow Gate clock's take long enough to show a phrase."""
import json
import statistics
import struct
import time
from pathlib import Path
from urllib.parse import urlsplit

from selenium.webdriver.common.by import By

from harness import Browser
from page_common import READY, check_no_problems, first_difference, fragment, press, wav_samples

# A line stands this far above the median level of the bins an octave either side of it, and is
# within the drawing's range below the loudest bin (a cycle's settling leaves faint lines far below).
LINE_DB = 30
SHOWN_DB = 100

# (what, settings, where its lines are as fractions of the rate: a cycle of period p at rate/p and harmonics)
SPECTRUM_CASES = [
    ("a cycle of period 4", dict(a="1", b="0.3", mode="continuous", rate=44100), [1 / 4, 1 / 2]),
    ("a cycle of period 4 at 48000 Hz", dict(a="1", b="0.3", mode="continuous", rate=48000), [1 / 4, 1 / 2]),
    ("a cycle of period 2", dict(a="0.7", b="0.3", mode="continuous", rate=44100), [1 / 2]),
    ("chaos, a noise", dict(a="1.4", b="0.3", mode="continuous", rate=44100), []),
]


def lines_of(hz, db):
    """The spectrum's lines, in Hz: peaks above 10 Hz, in view, standing LINE_DB over the bins an octave either side
    (bins spaced evenly from 0 Hz: bin k's octave is bins k/2 to 2k), peaks within two bins counted once."""
    lines = []
    loudest = max(level for f, level in zip(hz, db) if f >= 10)
    for k in range(1, len(hz)):
        if hz[k] < 10 or db[k] < loudest - SHOWN_DB or db[k] < db[k - 1] or (k + 1 < len(db) and db[k] < db[k + 1]):
            continue
        octave = db[(k + 1) // 2:k - 2] + db[k + 3:2 * k + 1]
        if db[k] - statistics.median(octave) > LINE_DB and not (lines and k - lines[-1] <= 2):
            lines.append(k)
    return [hz[k] for k in lines]


def spectrum_shows_lines(context):
    """A cycle's spectrum has lines at the rate over its period and its harmonics, and nowhere else; noise has none."""
    failures = []
    with Browser() as browser:
        for what, settings, fractions in SPECTRUM_CASES:
            browser.open(context.page, fragment(settings))
            browser.wait_for(READY)
            spectrum = browser.driver.execute_script("return window.tesselExplorer.spectrum()")
            hz, db = spectrum["hz"], spectrum["db"]
            found = lines_of(hz, db)
            expected = [fraction * settings["rate"] for fraction in fractions]
            bin_hz = hz[1]
            if len(found) != len(expected) or any(abs(f - e) > 2 * bin_hz for f, e in zip(sorted(found), expected)):
                failures.append(f"{what}: lines at {[round(f, 1) for f in found]} Hz, expected {expected}")
        check_no_problems(browser)
    assert not failures, "\n".join(failures)


# (the link's text, the idea it is in, the settings it names, what its idea says to add in the host)
PATCH_LINKS = [
    ("Load it", "Chaotic melody.", dict(a=1.4, b=0.3, x0=0, mode="gated", gate=6), "quantizer"),
    ("Load it", "A phrase that repeats.", dict(a=1.4, x0=0.5, mode="gated", gate=6), "divider"),
    ("Load it", "From order to chaos.", dict(a=0.85, b=0.3, mode="gated", gate=200,
                                             lfos=dict(a=dict(shape="sine", depth=0.55, hz=0.05), b=None, x0=None,
                                                       y0=None)), "LFO"),
    ("a 0.3 V", "From order to chaos.", dict(a=0.3, mode="gated", gate=200), "LFO"),
    ("a 0.7 V", "From order to chaos.", dict(a=0.7, mode="gated", gate=200), "LFO"),
    ("a 1 V", "From order to chaos.", dict(a=1, mode="gated", gate=200), "LFO"),
    ("a 1.4 V", "From order to chaos.", dict(a=1.4, mode="gated", gate=200), "LFO"),
    ("Load it", "Stereo chaos.", dict(a=1.4, b=0.3, mode="continuous"), "filter"),
    ("Load it", "Modulation source.", dict(a=1.4, mode="gated", gate=8), "panner"),
]


def patch_links_load(context):
    """Each patch idea's link loads the settings it names, as the page writes them, and brings the explorer into
    view; the idea says what to add in the host."""
    failures = []
    with Browser() as browser:
        browser.open(context.page, "a=1.2&b=0.2&x0=0.1&normalize=off&rate=48000")
        browser.wait_for(READY)
        links = browser.driver.find_elements(By.CSS_SELECTOR, "a.patch-link")
        found = [(link.text, link.find_element(By.XPATH, "ancestor::li/b").text) for link in links]
        if found != [(text, idea) for text, idea, _, _ in PATCH_LINKS]:
            failures.append(f"the page's patch links are {found}")
        for link, (text, idea, named, host_part) in zip(links, PATCH_LINKS):
            linked = urlsplit(link.get_attribute("href")).fragment
            idea_text = link.find_element(By.XPATH, "ancestor::li").text
            link.click()
            # The address changes at the click, the settings when the page hears of it: wait for both.
            held = ("return [window.tesselExplorer.settings, "
                    "document.getElementById('explorer').getBoundingClientRect().top]")
            try:
                browser.wait_for(f"const [settings, top] = (() => {{ {held} }})(); const named = {json.dumps(named)};"
                                 "const same = (p, q) => (p && q && typeof p === 'object' ? Object.keys(p).length === "
                                 "Object.keys(q).length && Object.keys(p).every((k) => same(p[k], q[k])) : p === q);"
                                 f"return location.hash.slice(1) === {linked!r} && Math.abs(top) <= 2 && "
                                 "Object.keys(named).every((name) => same(settings[name], named[name]));",
                                 timeout=10)
            except AssertionError:
                settings, top = browser.driver.execute_script(held)
                failures.append(f"{idea} {text!r}: the explorer holds {settings}, {top} px from the top; expected {named}")
            if host_part not in idea_text or "in the host" not in idea_text:
                failures.append(f"{idea}: does not say to add the {host_part} in the host")
        check_no_problems(browser)
    assert not failures, "\n".join(failures)


# (settings, the Reset clock or None, the saved file's name; the take: its seconds, two or 64 clock ticks up to
# four, and the clock's steps its traces show at least: 16 clock periods, or at a slow clock the whole take)
TAKE_CASES = [
    (dict(a="1.4", b="0.3", x0="0", y0="0", mode="continuous", gate=1000, normalize="on", rate=44100), None,
     "tessel-map_a1.4_b0.3_x0+0_y0+0_continuous_normalize-on_44100Hz.wav", 2, 0),
    (dict(a="1.2", b="-0.25", x0="-0.5", y0="0.125", mode="gated", gate=8, normalize="off", rate=48000), None,
     "tessel-map_a1.2_b-0.25_x0-0.5_y0+0.125_gated-8Hz_normalize-off_48000Hz.wav", 4, 32),
    (dict(a="1.4", b="0.3", x0="0", y0="0", mode="gated", gate=0.5, normalize="on", rate=44100), None,
     "tessel-map_a1.4_b0.3_x0+0_y0+0_gated-0.5Hz_normalize-on_44100Hz.wav", 4, 2),
    (dict(a="1.4", b="0.3", x0="0", y0="0", mode="gated", gate=500, normalize="on", rate=44100), None,
     "tessel-map_a1.4_b0.3_x0+0_y0+0_gated-500Hz_normalize-on_44100Hz.wav", 2, 16),
    (dict(a="sine:1.4:0.02:0.5", b="square:0.3:0.01:3", x0="saw:0:0.5:1", y0="0", mode="continuous", gate=1000,
          normalize="on", rate=44100), 4,
     "tessel-map_a1.4-sine-0.02V-0.5Hz_b0.3-square-0.01V-3Hz_x0+0-saw-0.5V-1Hz_y0+0_continuous_normalize-on_44100Hz_"
     "reset-4Hz.wav", 2, 0),
    (dict(a="triangle:1.4:0.02:0.5", b="square:0.3:0.01:3", x0="saw:0:0.5:1", y0="0", mode="continuous", gate=1000,
          normalize="on", rate=44100), 4,
     "tessel-map_a1.4-triangle-0.02V-0.5Hz_b0.3-square-0.01V-3Hz_x0+0-saw-0.5V-1Hz_y0+0_continuous_normalize-on_"
     "44100Hz_reset-4Hz.wav", 2, 0),
]
STEPS_TRACED = ("const started = performance.now(); window.tesselExplorer.redraw();"
                "const drawMs = performance.now() - started; const { x, traced } = window.tesselExplorer.take();"
                "let steps = 1; for (let i = 1; i < traced; i++) if (x[i] !== x[i - 1]) steps++;"
                "return [steps, document.getElementById('take-text').textContent, drawMs]")


def saved_wav_equals_tool(context):
    """Save WAV saves the drawn take as 32-bit float stereo named after its settings, LFOs and Reset clock with them
    (takes that differ in a shape alone named apart), with tessel-render's samples;
    at a slow Gate clock that take is long enough for 64 ticks (up to 4 s), traced whole, and its line says so."""
    failures = []
    downloads = Path(context.folder) / "downloads"
    with Browser() as browser:
        browser.driver.execute_cdp_cmd("Page.setDownloadBehavior", {"behavior": "allow", "downloadPath": str(downloads)})
        for settings, reset_hz, name, seconds, least_steps in TAKE_CASES:
            browser.open(context.page, fragment(settings) + (f"&reset-hz={reset_hz}" if reset_hz else ""))
            browser.wait_for(READY)
            press(browser, "save-wav")
            saved = downloads / name
            deadline = time.monotonic() + 30
            while not saved.exists() and time.monotonic() < deadline:
                time.sleep(0.1)
            data = saved.read_bytes() if saved.exists() else b""
            form = struct.unpack("<HHIIHH", data[20:36]) if data[8:16] == b"WAVEfmt " else None
            if form is None or [form[i] for i in (0, 1, 2, 5)] != [3, 2, settings["rate"], 32]:
                failures.append(f"{name}: not saved as 32-bit float stereo at {settings['rate']} Hz: {form}")
                continue
            failures.append(first_difference(wav_samples(saved), context.native_take(settings, seconds, reset_hz=reset_hz),
                                             name))
            saved.unlink()
            steps, line, draw_ms = browser.driver.execute_script(STEPS_TRACED)
            print(f"  ({name}: {steps} steps traced, redrawn in {draw_ms:.1f} ms)")
            says_longer = f"{least_steps} ticks of the {settings['gate']:g} Hz clock" in line
            if steps < least_steps or says_longer != (seconds > 2):
                failures.append(f"{name}: {steps} steps traced, expected {least_steps}; the take's line: {line!r}")
        check_no_problems(browser)
    failures = [failure for failure in failures if failure]
    assert not failures, "\n".join(failures)


TESTS = [spectrum_shows_lines, patch_links_load, saved_wav_equals_tool]

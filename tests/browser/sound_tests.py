"""The sound of the drawn take: its spectrum's lines, the manual's patch ideas
loaded by their links, the take saved as a WAV file equal to tessel-render's,
and a slow Gate clock's take long enough to show a phrase."""
import statistics
import struct
import time
from pathlib import Path
from urllib.parse import parse_qsl, urlsplit

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
    ("Load it", "From order to chaos.", dict(a=0.85, b=0.3, mode="gated", gate=200), "LFO"),
    ("a 0.3 V", "From order to chaos.", dict(a=0.3, b=0.3, mode="gated", gate=200), "LFO"),
    ("a 0.7 V", "From order to chaos.", dict(a=0.7, b=0.3, mode="gated", gate=200), "LFO"),
    ("a 1 V", "From order to chaos.", dict(a=1, b=0.3, mode="gated", gate=200), "LFO"),
    ("a 1.4 V", "From order to chaos.", dict(a=1.4, b=0.3, mode="gated", gate=200), "LFO"),
    ("Load it", "Stereo chaos.", dict(a=1.4, b=0.3, mode="continuous"), "filter"),
    ("Load it", "Modulation source.", dict(a=1.4, b=0.3, mode="gated", gate=8), "panner"),
]


def patch_links_load(context):
    """Each patch idea's link loads the settings it names into the explorer, brings it into view, and the idea
    says what to add in the host."""
    failures = []
    with Browser() as browser:
        browser.open(context.page, "a=1.2&b=0.2&x0=0.1&normalize=off&rate=48000")
        browser.wait_for(READY)
        links = browser.driver.find_elements(By.CSS_SELECTOR, "a.patch-link")
        found = [(link.text, link.find_element(By.XPATH, "ancestor::li/b").text) for link in links]
        if found != [(text, idea) for text, idea, _, _ in PATCH_LINKS]:
            failures.append(f"the page's patch links are {found}")
        for link, (text, idea, named, host_part) in zip(links, PATCH_LINKS):
            href = link.get_attribute("href")
            idea_text = link.find_element(By.XPATH, "ancestor::li").text
            link.click()
            settings = browser.wait_for(
                f"const s = window.tesselExplorer.settings; return location.hash.slice(1) === {urlsplit(href).fragment!r}"
                " && s", timeout=5)
            top = browser.driver.execute_script("return document.getElementById('explorer').getBoundingClientRect().top")
            linked = dict(parse_qsl(urlsplit(href).fragment))
            wrong = {name: settings[name] for name, value in named.items() if settings[name] != value}
            if wrong or not (settings["normalize"] and settings["rate"] == 44100) or linked["x0"] != str(settings["x0"]):
                failures.append(f"{idea} {text!r}: the explorer holds {settings}, the link names {named}")
            if abs(top) > 2:
                failures.append(f"{idea} {text!r}: the explorer is {top} px from the top of the view")
            if host_part not in idea_text or "in the host" not in idea_text:
                failures.append(f"{idea}: does not say to add the {host_part} in the host: {idea_text!r}")
        check_no_problems(browser)
    assert not failures, "\n".join(failures)


# (settings, the file's name, the take's seconds: two, or 64 clock ticks at a slow clock, at most eight)
WAV_CASES = [
    (dict(a="1.4", b="0.3", x0="0", y0="0", mode="continuous", gate=1000, normalize="on", rate=44100),
     "tessel-map_a1.4_b0.3_x0+0_y0+0_continuous_normalize-on_44100Hz.wav", 2),
    (dict(a="1.2", b="-0.25", x0="-0.5", y0="0.125", mode="gated", gate=8, normalize="off", rate=48000),
     "tessel-map_a1.2_b-0.25_x0-0.5_y0+0.125_gated-8Hz_normalize-off_48000Hz.wav", 8),
    (dict(a="1.4", b="0.3", x0="0", y0="0", mode="gated", gate=2, normalize="on", rate=44100),
     "tessel-map_a1.4_b0.3_x0+0_y0+0_gated-2Hz_normalize-on_44100Hz.wav", 8),
]


def wait_for_file(path, timeout=30.0):
    deadline = time.monotonic() + timeout
    while not path.exists():
        assert time.monotonic() < deadline, f"no {path.name} was saved; the folder holds {list(path.parent.iterdir())}"
        time.sleep(0.1)
    return path.read_bytes()


def saved_wav_equals_tool(context):
    """Save WAV saves the drawn take, named after its settings, as 32-bit float stereo, tessel-render's samples."""
    failures = []
    downloads = Path(context.folder) / "downloads"
    downloads.mkdir()
    with Browser() as browser:
        browser.driver.execute_cdp_cmd("Page.setDownloadBehavior", {"behavior": "allow", "downloadPath": str(downloads)})
        for settings, name, seconds in WAV_CASES:
            browser.open(context.page, fragment(settings))
            browser.wait_for(READY)
            press(browser, "save-wav")
            saved = wait_for_file(downloads / name)
            fmt = saved[saved.index(b"fmt ") + 8:saved.index(b"fmt ") + 24]
            form, channels, rate, _, _, bits = struct.unpack("<HHIIHH", fmt)
            if saved[:4] != b"RIFF" or saved[8:12] != b"WAVE" or (form, channels, rate, bits) != (3, 2, settings["rate"], 32):
                failures.append(f"{name}: not 32-bit float stereo at {settings['rate']} Hz: {form, channels, rate, bits}")
            (downloads / name).rename(downloads / "saved.wav")
            failures.append(first_difference(wav_samples(downloads / "saved.wav"), context.native_take(settings, seconds),
                                             name))
        check_no_problems(browser)
    failures = [failure for failure in failures if failure]
    assert not failures, "\n".join(failures)


# (Gate clock Hz, rate, the clock's steps the traces show at least, the take's seconds)
SLOW_CLOCKS = [
    (8, 44100, 64, 8),
    (6, 48000, 48, 8),
    (0.5, 44100, 4, 8),
    (500, 44100, 16, 2),
]


def slow_clock_shows_phrase(context):
    """At a slow Gate clock the take is long enough for 64 ticks (up to 8 s), traced whole, and its line says so."""
    failures = []
    steps = ("const e = window.tesselExplorer.explorer; e.draw(); const x = e.take.x; let steps = 1;"
             "for (let i = 1; i < e.traced; i++) if (x[i] !== x[i - 1]) steps++;"
             "return [steps, x.length, document.getElementById('take-text').textContent, e.drawMs]")
    with Browser() as browser:
        for gate, rate, least, seconds in SLOW_CLOCKS:
            browser.open(context.page, f"a=1.4&b=0.3&mode=gated&gate={gate}&rate={rate}")
            browser.wait_for(READY)
            shown, samples, line, draw_ms = browser.driver.execute_script(steps)
            print(f"  ({gate} Hz at {rate} Hz: {shown} steps traced, drawn in {draw_ms:.1f} ms)")
            if shown < least or samples != seconds * rate:
                failures.append(f"{gate} Hz: {shown} steps traced of {samples} samples; expected at least {least} "
                                f"steps of {seconds * rate}")
            says_longer = f"{least} ticks of the {gate:g} Hz clock" in line
            if says_longer != (seconds > 2):
                failures.append(f"{gate} Hz: the take's line reads {line!r}")
        check_no_problems(browser)
    assert not failures, "\n".join(failures)


TESTS = [spectrum_shows_lines, patch_links_load, saved_wav_equals_tool, slow_clock_shows_phrase]

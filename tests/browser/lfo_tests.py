"""Inputs that move in the explorer: LFOs on a, b, x0 and y0 and a Reset clock, played and drawn with
tessel-render's bits, their path on the chart, the fragment and the command line."""
import base64
import shlex
import struct
import subprocess

from harness import Browser
from page_common import READY, check_no_problems, first_difference, floats, fragment, fround, wav_samples

# (name, settings as on the pins and in the fragment, Reset clock Hz or None, volume)
PATCHES = [
    ("a sine on a", dict(a="sine:1.2:0.2:0.5", b="0.3", x0="0", y0="0", mode="continuous", gate=1000,
                         normalize="on", rate=44100), None, 0.1),
    ("a square on b, 48000 Hz", dict(a="1.4", b="square:0.25:0.05:3", x0="0", y0="0", mode="continuous", gate=1000,
                                     normalize="off", rate=48000), None, 1.0),
    ("both, gated", dict(a="triangle:1.3:0.1:2", b="saw:0.2:0.1:0.7", x0="0.1", y0="0", mode="gated", gate=500,
                         normalize="on", rate=44100), None, 0.25),
    ("a stop, then a Reset clock and a moving x0", dict(a="saw:1.5:0.3:1", b="0.3", x0="sine:0:0.5:1.5", y0="0",
                                                         mode="continuous", gate=1000, normalize="on", rate=44100),
     2, 0.1),
]


def page_fragment(settings, reset_hz):
    return fragment(settings) + (f"&reset-hz={reset_hz}" if reset_hz else "")


def tool_report(context, settings, reset_hz, seconds=2):
    """What tessel-render says of a continuous take along a moving a or b, in short and exactly: the path in short,
    then each change and any stop, under the heading that names the Reset clock's restarts."""
    command = [context.render, "--out", str(context.folder / "report.wav"), "--seconds", str(seconds),
               "--rate", str(settings["rate"]), "--normalize", settings["normalize"],
               *[word for name in ("a", "b", "x0", "y0") for word in (f"--{name}", settings[name])]]
    if reset_hz:
        command += ["--reset-hz", str(reset_hz)]
    lines = subprocess.run(command, check=True, capture_output=True, text=True).stderr.splitlines()
    heading = next(i for i, line in enumerate(lines) if "the sound along the take" in line)
    changes = [line.split(":", 1)[1].strip() for line in lines[heading + 1:] if line.startswith("tessel-render:   ")]
    said_short = "tessel-render: in short, "
    in_short = next(line[len(said_short):] for line in lines if line.startswith(said_short + "along the path"))
    path = in_short.split(": from", 1)[0]
    stop = "".join(f"; {line[len('tessel-render: '):]}" for line in lines
                   if line.startswith("tessel-render: the map stopped itself"))
    return ["Continuous, " + in_short, f"Continuous, {path}: " + "; ".join(changes) + stop]


def moving_patches_equal_native(context):
    """A patch with LFOs and a Reset clock: the drawn take, the played sound and Copy's command line give
    tessel-render's bits; the verdict along the path is the tool's report; the fragment keeps the patch."""
    failures = []
    with Browser() as browser:
        for name, settings, reset_hz, volume in PATCHES:
            browser.open(context.page, page_fragment(settings, reset_hz))
            browser.wait_for(READY)
            native = context.native_take(settings, 2, reset_hz=reset_hz)
            drawn = base64.b64decode(browser.call("window.tesselExplorer.takeBytes()"))
            failures.append(first_difference(drawn, native, f"{name}, drawn"))
            played = base64.b64decode(browser.call(
                "window.tesselExplorer.soundBytes(window.tesselExplorer.settings, ...args)",
                2 * settings["rate"], [], volume))
            expected = struct.pack(f"<{len(native) // 4}f", *(fround(s * fround(volume)) for s in floats(native)))
            failures.append(first_difference(played, expected, f"{name}, played at volume {volume}"))

            command = shlex.split(browser.driver.execute_script(
                "return document.getElementById('command-text').textContent"))
            out = context.folder / "copied.wav"
            command = [context.render if word == "tessel-render" else str(out) if word == "take.wav" else word
                       for word in command]
            subprocess.run(command + ["--quiet"], check=True)
            failures.append(first_difference(drawn, wav_samples(out), f"{name}, Copy's command line"))

            hash_now = browser.driver.execute_script("return location.hash")
            for field in page_fragment(settings, reset_hz).split("&"):
                if field.split("=")[0] in ("a", "b", "x0", "y0", "reset-hz") and field not in hash_now.split("&") \
                        and f"#{field}" not in hash_now.split("&"):
                    failures.append(f"{name}: the fragment {hash_now} lost {field}")
            verdict = browser.driver.execute_script(
                "return ['verdict', 'verdict-exact'].map((id) => document.getElementById(id).textContent)")
            if settings["mode"] == "continuous":
                expected_words = tool_report(context, settings, reset_hz)
                if verdict != expected_words:
                    failures.append(f"{name}: the page says {verdict!r}, tessel-render {expected_words!r}")
            elif not all("(at the LFOs' centres: a gated" in words for words in verdict):
                failures.append(f"{name}: the page does not say why a gated path is judged at its centres: {verdict!r}")
        check_no_problems(browser)
    failures = [failure for failure in failures if failure]
    assert not failures, "\n".join(failures)


# (fragment, the path's start (a, b) in volts, its extent (a low, a high, b low, b high), its seconds)
PATHS = [
    ("a=sine:1.2:0.2:0.5&b=0.3", (1.2, 0.3), (1.0, 1.4, 0.3, 0.3), 2),
    ("a=1.4&b=triangle:0.2:0.1:0.25", (1.4, 0.2), (1.4, 1.4, 0.1, 0.3), 4),
    ("a=square:1.1:0.3:2&b=saw:0.2:0.05:0.7", (1.4, 0.15), (0.8, 1.4, 0.15, 0.25), 10),
    ("a=sine:1.2:0.1:0.011&b=sine:0.3:0.05:0.013", (1.2, 0.3), (1.1, 1.3, 0.25, 0.35), 100),
    ("a=1.2&b=0.3&x0=sine:0:0.5:1", None, None, None),
]


def path_where_settings_say(context):
    """The path on the chart starts at the LFOs' phase 0, spans their depths and lasts one period of them."""
    failures = []
    with Browser() as browser:
        for fragment_text, start, extent, seconds in PATHS:
            browser.open(context.page, fragment_text)
            browser.wait_for(READY)
            path = browser.driver.execute_script("return window.tesselExplorer.path()")
            if start is None:
                if path is not None:
                    failures.append(f"{fragment_text}: a path is drawn where a and b hold still: {path}")
                continue
            if path is None:
                failures.append(f"{fragment_text}: no path")
                continue
            if [fround(v / 10) for v in path["start"]] != [fround(v / 10) for v in start]:
                failures.append(f"{fragment_text}: starts at {path['start']}, expected {start}")
            drawn = (path["aLow"], path["aHigh"], path["bLow"], path["bHigh"])
            if any(abs(p - e) > 2e-3 for p, e in zip(drawn, extent)):
                failures.append(f"{fragment_text}: spans {drawn}, expected {extent}")
            if abs(path["seconds"] - seconds) > 1e-9:
                failures.append(f"{fragment_text}: lasts {path['seconds']} s, expected {seconds} s")
        check_no_problems(browser)
    assert not failures, "\n".join(failures)


# (name, settings, the LFOs' period in seconds): paths longer than the take drawn.
WHOLE_PERIODS = [
    ("a sine on a over 10 s", dict(a="sine:1.2:0.2:0.1", b="0.3", x0="0", y0="0", mode="continuous", gate=1000,
                                   normalize="on", rate=44100), 10),
    ("a on b over 20 s", dict(a="sine:1.2:0.2:0.25", b="triangle:0.3:0.02:0.05", x0="0", y0="0", mode="continuous",
                              gate=1000, normalize="off", rate=48000), 20),
]
WHOLE_PERIOD_SAID = ("return document.getElementById('verdict-steps').textContent.includes('one whole period') && "
                     "['verdict', 'verdict-exact'].map((id) => document.getElementById(id).textContent)")


def whole_period_told(context):
    """Where the LFOs' period outlasts the take, the verdict comes from a worker along the whole period, in
    tessel-render's words for a take of that length."""
    failures = []
    with Browser() as browser:
        for name, settings, seconds in WHOLE_PERIODS:
            browser.open(context.page, fragment(settings))
            browser.wait_for(READY)
            verdict = browser.wait_for(WHOLE_PERIOD_SAID, timeout=120)
            expected = tool_report(context, settings, None, seconds)
            if verdict != expected:
                failures.append(f"{name}: the page says {verdict!r}, tessel-render {expected!r}")
        check_no_problems(browser)
    assert not failures, "\n".join(failures)


TESTS = [moving_patches_equal_native, path_where_settings_say, whole_period_told]


# (what happens while the sound plays, the fragment, what the test does, whether the module restarts the orbit)
CHANGES_WHILE_PLAYING = [
    ("an LFO switched on", "", ("click", "a-lfo"), True),
    ("Normalize changed while a moves", "a=sine:1.2:0.2:0.5", ("click", "normalize"), True),
    ("Mode changed while nothing moves", "", ("click", "mode-gated"), False),
    ("a typed at its own value while a moves", "a=sine:1.2:0.2:0.5", ("type", "a-number", "1.2"), False),
    ("an LFO switched off while b moves", "a=sine:1.2:0.2:0.5&b=sine:0.3:0.01:1", ("click", "a-lfo"), True),
]


def restarts_told_while_playing(context):
    """While the sound plays, a change that restarts the orbit (an input streams) is told, others are not;
    the dot moves along the path."""
    from selenium.webdriver.common.by import By
    from selenium.webdriver.common.keys import Keys
    from page_common import press
    failures = []
    # What the page hears from the worklet, recorded from its events.
    listen = ("window.heard = {frame: 0, restarts: 0}; window.tesselExplorer.sound.addEventListener('heard',"
              " (event) => { window.heard = event.detail; });")
    heard = "return window.heard.frame > 0 && window.heard.frame"
    with Browser() as browser:
        for name, fragment_text, action, restarts in CHANGES_WHILE_PLAYING:
            browser.open(context.page, fragment_text)
            browser.wait_for(READY)
            browser.driver.execute_script(listen)
            press(browser, "play")
            first = browser.wait_for(heard)
            target = browser.driver.find_element(By.ID, action[1])
            if action[0] == "click":
                target.click()
            else:
                target.send_keys(Keys.CONTROL, "a")
                target.send_keys(action[2], Keys.ENTER)
            browser.wait_for(heard.replace("> 0", f"> {first + 20000}"))
            state = browser.driver.execute_script(
                "return [window.heard.restarts, document.getElementById('restart-notice').textContent,"
                " window.tesselExplorer.path()]")
            press(browser, "play")
            told = bool(state[1])
            if (state[0] > 0) != restarts or told != restarts:
                failures.append(f"{name}: {state[0]} restarts heard, notice {state[1]!r}")
            if state[2] is not None and state[2]["dotAt"] < 0:
                failures.append(f"{name}: no dot on the path while playing")
        check_no_problems(browser)
    assert not failures, "\n".join(failures)


TESTS.append(restarts_told_while_playing)

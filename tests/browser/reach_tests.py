"""What a musician meets first: an LFO that keeps sounding when switched on, refusals said, the transport in reach at
any width, and the page's keys."""
import subprocess
import time

from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys

from harness import Browser
from page_common import READY, check_no_problems, press

SETTINGS = "return window.tesselExplorer.settings"
# The depths the page tries, largest first.
SAFE_DEPTHS = [0.5, 0.2, 0.1, 0.05, 0.02, 0.01]

# (the patch, the input whose LFO box is ticked)
DEFAULT_LFOS = [("", "a"), ("", "b"), ("a=1.2&b=0.25", "a"), ("a=1.1&b=0.3&mode=gated&gate=500", "b"),
                ("x0=0.2&normalize=off", "x0")]


def stops_within_a_period(context, settings, name, depth):
    """Whether tessel-render's take of one period of a 0.5 Hz sine of `depth` on `name` says the map stopped."""
    inputs = {key: repr(settings[key]) for key in ("a", "b", "x0", "y0")}
    inputs[name] = f"sine:{settings[name]!r}:{depth}:0.5"
    command = [context.render, "--out", str(context.folder / "lfo.wav"), "--seconds", "2", "--rate",
               str(settings["rate"]), "--mode", settings["mode"],
               "--normalize", "on" if settings["normalize"] else "off",
               *[word for key, volts in inputs.items() for word in (f"--{key}", volts)]]
    if settings["mode"] == "gated":
        command += ["--gate-hz", str(settings["gate"])]
    report = subprocess.run(command, check=True, capture_output=True, text=True).stderr
    return "ran to the end without stopping itself" not in report


def default_lfo_keeps_sounding(context):
    """Ticking an LFO's box gives it the largest of the depths tried that keeps the map sounding over its whole
    period, as tessel-render renders it, and the row says so."""
    failures = []
    with Browser() as browser:
        for patch, name in DEFAULT_LFOS:
            browser.open(context.page, patch)
            browser.wait_for(READY)
            browser.driver.find_element(By.ID, f"{name}-lfo").click()
            lfo = browser.wait_for(f"return window.tesselExplorer.settings.lfos['{name}']", timeout=20)
            settings = browser.driver.execute_script(SETTINGS)
            said = browser.driver.find_element(By.ID, f"{name}-lfo-message").text
            depth = lfo["depth"]
            larger = SAFE_DEPTHS[:SAFE_DEPTHS.index(depth)] if depth in SAFE_DEPTHS else []
            what = f"{patch or 'the defaults'}, LFO on {name} at ±{depth} V"
            if depth not in SAFE_DEPTHS or stops_within_a_period(context, settings, name, depth):
                failures.append(f"{what}: tessel-render's map stops within a period")
            if larger and not stops_within_a_period(context, settings, name, larger[-1]):
                failures.append(f"{what}: ±{larger[-1]} V keeps it sounding too")
            if f"±{depth} V keeps the map sounding" not in said:
                failures.append(f"{what}: the row says {said!r}")
        check_no_problems(browser)
    assert not failures, "\n".join(failures)


def link_during_depth_search(context):
    """A link that loads while an LFO's depth is being found replaces the patch: the search ends unheard."""
    with Browser() as browser:
        browser.open(context.page, "a=sine:1.4:0.02:0.01")
        browser.wait_for(READY)
        # Off, then on with its depth emptied: the page finds a depth over the 100 s period, a slice at a time.
        browser.driver.find_element(By.ID, "a-lfo").click()
        type_into(browser, "a-lfo-depth", "", Keys.TAB)
        browser.driver.execute_script("document.getElementById('a-lfo').click(); location.hash = 'b=0.25';")
        browser.wait_for("return window.tesselExplorer.settings.b === 0.25")
        time.sleep(3)
        state = browser.driver.execute_script(
            "return [window.tesselExplorer.settings.lfos.a, document.getElementById('a-lfo').checked]")
        check_no_problems(browser)
    assert state == [None, False], f"after the link, a's LFO is {state[0]} and its box ticked: {state[1]}"


def type_into(browser, field_id, text, key=Keys.ENTER):
    field = browser.driver.find_element(By.ID, field_id)
    field.send_keys(Keys.CONTROL, "a", Keys.DELETE)
    field.send_keys(text, key)
    return field.get_attribute("value")


# (the patch, a field and what is typed into it or None for the link alone, where the page says it, what it says,
# the settings' field that must keep its value, the field's text after)
REFUSALS = [
    ("a=sine:1.4:0.02:0.5", "a-lfo-hz", "abc", "a-lfo-message",
     '"abc" is not a number: kept 0.5 Hz; give 0.01 to 20 Hz', "lfos", "0.5"),
    ("a=sine:1.4:0.02:0.5", "a-lfo-hz", "1000", "a-lfo-message", "1000 is above 0.01 to 20 Hz: set to 20 Hz", None,
     "20"),
    ("a=sine:1.4:0.02:0.5", "a-lfo-depth", "-0.3", "a-lfo-message", "-0.3 is below 0 to 5 V: set to 0 V", None, "0"),
    ("reset-hz=2", "reset-hz", "0", "reset-message", "0 is below 0.01 to 20 Hz: set to 0.01 Hz", None, "0.01"),
    ("", "a-number", "1.2.3", "a-message", '"1.2.3" is not a number: kept 1.4 V; give -1 to 4 V', "a", "1.4"),
    ("a=abc&b=0.25", None, None, "link-notice", 'a=abc: "abc" is not a number: kept 1.4 V; give -1 to 4 V', "a", None),
    ("a=9&b=-7", None, None, "link-notice", "a=9: 9 is above -1 to 4 V: set to 4 V; b=-7: -7 is below -1 to 1 V: "
     "set to -1 V", None, None),
    ("a=sine:1.4:0.5", None, None, "link-notice", "a=sine:1.4:0.5: no LFO the page offers", "a", None),
    ("reset-hz=-3", None, None, "link-notice", "reset-hz=-3: kept no Reset clock; give 0.01 to 20 Hz", "resetHz",
     None),
    ("gate=0", None, None, "link-notice", "gate=0: 0 is below 0.1 to 22050 Hz: set to 0.1 Hz", None, None),
]


def refusals_said(context):
    """What the LFO, Reset-clock and knob fields and a link refuse or clamp is said (what, what is kept, the range),
    and the rest of the link is loaded; Escape puts back the value shown."""
    failures = []
    with Browser() as browser:
        for patch, field_id, typed, line_id, words, kept, text_after in REFUSALS:
            browser.open(context.page, patch)
            browser.wait_for(READY)
            before = browser.driver.execute_script(SETTINGS)
            shown = type_into(browser, field_id, typed) if field_id else None
            now = browser.driver.execute_script(SETTINGS)
            said = browser.driver.find_element(By.ID, line_id).text
            what = f"{patch} {field_id} {typed!r}"
            if (words == "") != (said == "") or words not in said:
                failures.append(f"{what}: says {said!r}, not {words!r}")
            if kept and now[kept] != before[kept]:
                failures.append(f"{what}: {kept} went from {before[kept]} to {now[kept]}")
            if shown != text_after:
                failures.append(f"{what}: the field shows {shown!r}, not {text_after!r}")
            if "b=0.25" in patch and now["b"] != 0.25:
                failures.append(f"{what}: the rest of the link was not loaded: b is {now['b']}")
        browser.open(context.page, "a=1.25")
        browser.wait_for(READY)
        shown = type_into(browser, "a-number", "0.9", Keys.ESCAPE)
        if shown != "1.25" or browser.driver.execute_script(SETTINGS)["a"] != 1.25:
            failures.append(f"Escape in a's field leaves {shown!r} shown")
        check_no_problems(browser)
    assert not failures, "\n".join(failures)


def box(browser, element_id):
    return browser.driver.execute_script(
        "const r = document.getElementById(arguments[0]).getBoundingClientRect();"
        "return {top: r.top, bottom: r.bottom, height: innerHeight};", element_id)


def in_view(rectangle):
    return rectangle["top"] >= 0 and rectangle["bottom"] <= rectangle["height"]


# (width, height, device pixel ratio, whether a phone; what must be in view at the top, and with the chart in view)
VIEWPORTS = [(1280, 900, 1, False, ["play", "reset", "verdict"], []),
             (360, 740, 3, True, ["play", "reset", "verdict"], ["play", "reset", "verdict"])]


def in_reach(context):
    """Play, Reset and the verdict in the first view at 1280x900, and on a phone still with the chart in view; the
    pictures drawn at the device's pixel ratio; each LFO row on one line at 1280 px."""
    failures = []
    with Browser() as browser:
        for width, height, ratio, mobile, at_top, at_chart in VIEWPORTS:
            browser.driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
                "width": width, "height": height, "deviceScaleFactor": ratio, "mobile": mobile})
            browser.open(context.page)
            browser.wait_for(READY)
            for where, ids in (("at the top", at_top), ("with the chart in view", at_chart)):
                if where != "at the top":
                    browser.driver.execute_script("document.getElementById('chart').scrollIntoView()")
                failures += [f"{width} px, {where}: #{i} is out of view: {box(browser, i)}" for i in ids
                             if not in_view(box(browser, i))]
            drawn = browser.driver.execute_script(
                "return ['attractor', 'traces', 'spectrum'].map((id) => {"
                " const c = document.getElementById(id);"
                " return [c.width, Math.round(c.clientWidth * devicePixelRatio)]; })")
            failures += [f"{width} px: a picture {c} px wide, shown at {s} device pixels" for c, s in drawn
                         if abs(c - s) > 1]
            if not mobile:
                rows = browser.driver.execute_script(
                    "return Array.from(document.querySelectorAll('.lfo'), (row) => {"
                    " const pieces = Array.from(row.children).filter((c) => !c.classList.contains('field-message'))"
                    "   .map((c) => c.getBoundingClientRect());"
                    " return pieces.every((piece) => piece.top < pieces[0].bottom) ? 1 : 2; })")
                if any(lines != 1 for lines in rows):
                    failures.append(f"{width} px: an LFO row spreads over more than one line: {rows}")
        check_no_problems(browser)
    assert not failures, "\n".join(failures)


def key(browser, pressed):
    """A key pressed with the focus on no field."""
    browser.driver.execute_script("document.activeElement.blur()")
    ActionChains(browser.driver).send_keys(pressed).perform()


def keys_and_links(context):
    """Space plays and stops (not in a text field), ? lists the keys and Escape closes the list; Copy link copies the
    address or shows it selected; a finger swiping across a slider's track leaves its knob (last: the page may go on
    scrolling after it)."""
    failures = []
    with Browser() as browser:
        browser.open(context.page, "a=1.3")
        browser.wait_for(READY)
        playing = "return window.tesselExplorer.audio.playing"
        key(browser, " ")
        if not browser.wait_for(playing, timeout=10):
            failures.append("Space did not play")
        type_into(browser, "a-lfo-hz", " 2")
        if not browser.driver.execute_script(playing):
            failures.append("Space typed into a field stopped the sound")
        key(browser, " ")
        browser.wait_for("return !window.tesselExplorer.audio.playing", timeout=10)
        key(browser, "?")
        opened = browser.driver.execute_script("return document.getElementById('keys').open")
        browser.driver.switch_to.active_element.send_keys(Keys.ESCAPE)
        closed = not browser.driver.execute_script("return document.getElementById('keys').open")
        if not (opened and closed):
            failures.append(f"? opened the keys {opened}, Escape closed them {closed}")
        browser.driver.execute_script("document.getElementById('copy-link').scrollIntoView({block: 'center'})")
        press(browser, "copy-link")
        said = browser.wait_for(
            "const t = document.getElementById('copy-link').textContent; return t !== 'Copy link' && t")
        link = browser.driver.execute_script(
            "return [location.href, document.getElementById('patch-link').textContent]")
        if said not in ("Copied", "Selected: copy it") or (said != "Copied" and link[0] != link[1]):
            failures.append(f"Copy link says {said!r}, shows {link[1]!r} for {link[0]!r}")
        track = browser.driver.execute_script(
            "const slider = document.getElementById('a-slider'); slider.scrollIntoView({block: 'center'});"
            "const r = slider.getBoundingClientRect(); return [r.left + 10, r.top + r.height / 2]")
        send = lambda kind, points: browser.driver.execute_cdp_cmd(
            "Input.dispatchTouchEvent", {"type": kind, "touchPoints": [{"x": x, "y": y} for x, y in points]})
        send("touchStart", [track])
        send("touchMove", [(track[0] + 40, track[1] - 60)])
        send("touchEnd", [])
        if browser.driver.execute_script(SETTINGS)["a"] != 1.3:
            failures.append(f"a swipe across a's track moved a to {browser.driver.execute_script(SETTINGS)['a']}")
        check_no_problems(browser)
    assert not failures, "\n".join(failures)


TESTS = [default_lfo_keeps_sounding, link_during_depth_search, refusals_said, in_reach, keys_and_links]

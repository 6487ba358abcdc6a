"""The explorer's controls: fine steps on every knob, the a and b sliders' travel where the map
sounds, any screen width, every rate offered, the system's dark theme and a decimal comma."""
import base64
import csv
import re
import struct
import subprocess

from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.actions import interaction
from selenium.webdriver.common.actions.action_builder import ActionBuilder
from selenium.webdriver.common.actions.pointer_input import PointerInput
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.select import Select

from harness import Browser
from page_common import READY, check_no_problems, first_difference, floats, fround, press

SETTINGS = "return window.tesselExplorer.settings"


def opened(browser, page, fragment, fine=False):
    """The page at `fragment`, fine steps switched as asked: a new fragment keeps the page, and so the switch."""
    browser.open(page, fragment)
    browser.wait_for(READY)
    switch = browser.driver.find_element(By.ID, "fine")
    if switch.is_selected() != fine:
        switch.click()


def type_into(browser, name, text):
    field = browser.driver.find_element(By.ID, f"{name}-number")
    field.send_keys(Keys.CONTROL, "a")
    field.send_keys(Keys.DELETE)
    field.send_keys(text, Keys.ENTER)


def travel_of(browser, name):
    """A slider's travel in CSS pixels, and where its thumb's centre is along it."""
    return browser.driver.execute_script(
        "const slider = document.getElementById(arguments[0] + '-slider'), s = slider.getBoundingClientRect();"
        "const t = slider.querySelector('.slider-thumb').getBoundingClientRect();"
        "return [s.width - t.width, t.left + t.width / 2 - s.left];", name)


# (knob, page fragment, Shift held, Fine switched on, key, the step shown beside the knob, the value after)
KEY_STEPS = [
    ("a", "a=1.4", True, False, Keys.ARROW_RIGHT, "fine 0.001 V", 1.401),
    ("a", "a=1.4", False, False, Keys.ARROW_RIGHT, "step 0.01 V", 1.41),
    ("b", "b=0.3", True, False, Keys.ARROW_LEFT, "fine 0.001 V", 0.299),
    ("x0", "x0=0.12345", True, False, Keys.ARROW_UP, "fine 0.001 V", 0.124),
    ("y0", "y0=-2", False, True, Keys.ARROW_RIGHT, "fine 0.001 V", -1.999),
    ("gate", "mode=gated&gate=1000", True, False, Keys.ARROW_RIGHT, "fine 10 cents", 1006),
    ("gate", "mode=gated&gate=1000", False, False, Keys.ARROW_LEFT, "step a semitone", 943.9),
]

# (how x0's slider is dragged from its thumb at 0 V by a quarter of its travel, Shift held, the x0 reached within 2 %)
DRAGS = [("mouse", False, 1.0), ("mouse", True, 0.1), ("finger", False, 1.0)]


def drag(browser, thumb, how, shift, pixels):
    if how == "finger":
        actions = ActionBuilder(browser.driver, mouse=PointerInput(interaction.POINTER_TOUCH, how))
        actions.pointer_action.move_to(thumb).pointer_down().move_by(pixels, 0).pointer_up()
        actions.perform()
        return
    chain = ActionChains(browser.driver).move_to_element(thumb)
    chain = chain.key_down(Keys.SHIFT) if shift else chain
    chain = chain.click_and_hold().move_by_offset(pixels, 0).release()
    (chain.key_up(Keys.SHIFT) if shift else chain).perform()


def fine_steps(context):
    """Arrow keys take the step shown beside the knob, with Shift or Fine steps a tenth of it, landing on the
    float; a drag with Shift moves a tenth as far; a finger drags."""
    failures = []
    with Browser() as browser:
        for name, fragment, shift, fine, key, shown, expected in KEY_STEPS:
            opened(browser, context.page, fragment, fine)
            step_text = browser.driver.find_element(By.ID, f"{name}-step").text
            # Focused as Tab focuses it: a click would move it.
            browser.driver.execute_script("document.getElementById(arguments[0]).focus()", f"{name}-slider")
            chain = ActionChains(browser.driver)
            (chain.key_down(Keys.SHIFT).send_keys(key).key_up(Keys.SHIFT) if shift else chain.send_keys(key)).perform()
            value = browser.driver.execute_script(SETTINGS)[name]
            field = browser.driver.find_element(By.ID, f"{name}-number").get_attribute("value")
            what = f"{name} from {fragment}, Shift {shift}, Fine {fine}, {key!r}"
            if shown not in step_text:
                failures.append(f"{what}: beside the knob {step_text!r}, not {shown!r}")
            if value != expected or field != f"{expected:g}":
                failures.append(f"{what}: {value} (field {field!r}), expected {expected}")
        for how, shift, expected in DRAGS:
            opened(browser, context.page, "x0=0")
            thumb = browser.driver.find_element(By.CSS_SELECTOR, "#x0-slider .slider-thumb")
            drag(browser, thumb, how, shift, round(travel_of(browser, "x0")[0] / 4))
            reached = browser.driver.execute_script(SETTINGS)["x0"]
            if abs(reached - expected) > 0.02 * expected:
                failures.append(f"a {how} drag, Shift {shift}, by a quarter of x0's travel: {reached} V, not {expected}")
        check_no_problems(browser)
    assert not failures, "\n".join(failures)


def sounds(row):
    return row["outcome"] != "stops" and not (row["outcome"] == "cycle" and row["period"] == "1")


# (what, tessel-render's chart of it, the knob, the least share of its slider's travel that sounding span gets)
TRAVEL = [
    ("a where the map sounds at b 0.3 V", ["--size", "500x1", "--b-range", "0.29:0.31"], "a", 0.5),
    ("b where the map sounds at a 1.4 V", ["--size", "1x400", "--a-range", "1.39:1.41"], "b", 0.5),
    ("a where the map sounds at any b", ["--size", "100x40"], "a", 0.75),
]


def slider_travel(context):
    """The a and b sliders give most of their travel to where the native module's chart sounds."""
    failures = []
    with Browser() as browser:
        opened(browser, context.page, "")
        for what, options, name, least in TRAVEL:
            table = context.folder / "line.csv"
            subprocess.run([context.render, "--quiet", "--chart-data", str(table), *options], check=True)
            with open(table, newline="") as rows:
                span = [float(row[name]) for row in csv.DictReader(rows) if sounds(row)]
            ends = []
            for volts in (min(span), max(span)):
                type_into(browser, name, repr(volts))
                ends.append(travel_of(browser, name))
            share = (ends[1][1] - ends[0][1]) / ends[0][0]
            if share < least:
                failures.append(f"{what} ({min(span)} to {max(span)} V): {share:.2f} of the travel, not {least}")
        check_no_problems(browser)
    assert not failures, "\n".join(failures)


# (window width, whether the Pins table stacks each row's cells)
WIDTHS = [(360, True), (400, True), (1280, False), (1600, False)]


def any_width(context):
    """No sideways scrolling from 360 px up; the Pins table stacks on a phone; the chart's container reaches the
    explorer's right edge, under the controls and pictures or beside them."""
    failures = []
    with Browser() as browser:
        for width, stacks in WIDTHS:
            browser.driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                                           {"width": width, "height": 900, "deviceScaleFactor": 1, "mobile": False})
            opened(browser, context.page, "")
            page = browser.driver.execute_script(
                "const right = (selector) => document.querySelector(selector).getBoundingClientRect().right;"
                "return {scroll: document.documentElement.scrollWidth, width: document.documentElement.clientWidth,"
                " stacked: Array.from(document.querySelectorAll('table.pins tr')).slice(1).every((row) => {"
                "   const cells = Array.from(row.cells, (cell) => cell.getBoundingClientRect());"
                "   return cells.every((cell, k) => k === 0 || cell.top >= cells[k - 1].bottom - 1); }),"
                " chart: right('.chart-view'), explorer: right('.explorer-grid')};")
            if page["scroll"] > page["width"] or page["stacked"] != stacks or abs(page["chart"] - page["explorer"]) > 1:
                failures.append(f"{width} px: {page}; the Pins table should {'' if stacks else 'not '}stack")
        check_no_problems(browser)
    assert not failures, "\n".join(failures)


RATES = [22050, 44100, 48000, 88200, 96000]
RATE_SETTINGS = dict(a="1.2", b="0.25", x0="0.1", y0="0", mode="continuous", gate=1000, normalize="off")


def every_rate_plays_and_draws(context):
    """Each rate offered, chosen in the page: the drawn take and the sound path equal tessel-render's, and Play
    runs at that rate."""
    volume = 0.5
    failures = []
    with Browser() as browser:
        opened(browser, context.page, "&".join(f"{k}={v}" for k, v in RATE_SETTINGS.items()))
        rates = Select(browser.driver.find_element(By.ID, "rate"))
        offered = [int(option.get_attribute("value")) for option in rates.options]
        failures.append(None if offered == RATES else f"the page offers {offered}")
        for rate in RATES:
            rates.select_by_value(str(rate))
            native = context.native_take({**RATE_SETTINGS, "rate": rate}, 2)
            drawn = base64.b64decode(browser.call("window.tesselExplorer.takeBytes()"))
            failures.append(first_difference(drawn, native, f"{rate} Hz, drawn"))
            played = base64.b64decode(browser.call("window.tesselExplorer.soundBytes(...args)",
                                                   browser.driver.execute_script(SETTINGS), 2 * rate, [], volume))
            expected = struct.pack(f"<{len(native) // 4}f", *(fround(s * fround(volume)) for s in floats(native)))
            failures.append(first_difference(played, expected, f"{rate} Hz, played"))
            press(browser, "play")
            running = browser.wait_for("const p = window.tesselExplorer.audio;"
                                       "return p.state === 'running' && p.sampleRate")
            press(browser, "play")
            browser.wait_for("return !window.tesselExplorer.audio.playing")
            failures.append(None if running == rate else f"{rate} Hz: Play ran at {running} Hz")
        check_no_problems(browser)
    failures = [failure for failure in failures if failure]
    assert not failures, "\n".join(failures)


# (an element's text, the element whose background is its ground)
THEMED = [("body", "body"), ("table.pins th", "table.pins th"), (".explorer-app legend", ".explorer-app"),
          (".explorer-app .hint", ".explorer-app"), ("#reset", "#reset"), ("#a-number", "#a-number"),
          ("#verdict", ".explorer-app")]


def contrast(text, ground):
    """The contrast ratio of two CSS rgb() colours, as WCAG reckons it."""
    def luminance(colour):
        linear = [c / 12.92 if c <= 0.04045 else ((c + 0.055) / 1.055) ** 2.4
                  for c in (int(v) / 255 for v in re.findall(r"\d+", colour)[:3])]
        return 0.2126 * linear[0] + 0.7152 * linear[1] + 0.0722 * linear[2]
    light, dark = sorted((luminance(text), luminance(ground)), reverse=True)
    return (light + 0.05) / (dark + 0.05)


def follows_dark_mode(context):
    """The page's text, controls and tables change with the system's light or dark preference, legibly in both."""
    failures = []
    seen = {}
    with Browser() as browser:
        for scheme in ("light", "dark"):
            browser.driver.execute_cdp_cmd("Emulation.setEmulatedMedia",
                                           {"features": [{"name": "prefers-color-scheme", "value": scheme}]})
            opened(browser, context.page, "")
            seen[scheme] = browser.driver.execute_script(
                "return arguments[0].map(([text, ground]) => [getComputedStyle(document.querySelector(text)).color,"
                " getComputedStyle(document.querySelector(ground)).backgroundColor]);", THEMED)
            failures += [f"{scheme}: {text} is {colour} on {ground}, contrast {contrast(colour, ground):.1f}"
                         for (text, _), (colour, ground) in zip(THEMED, seen[scheme]) if contrast(colour, ground) < 4.5]
        check_no_problems(browser)
    failures += [f"{text}: {light} in the light theme, {dark} in the dark"
                 for (text, _), light, dark in zip(THEMED, seen["light"], seen["dark"])
                 if light[0] == dark[0] or light[1] == dark[1]]
    assert not failures, "\n".join(failures)


# (field, page fragment, typed with a decimal comma, where the settings hold it, the value it reads as)
COMMAS = [("a-number", "", "1,2", "a", 1.2), ("b-number", "", "-0,25", "b", -0.25),
          ("gate-number", "mode=gated", "440,5", "gate", 440.5),
          ("a-lfo-hz", "a=sine:1.2:0.2:0.5", "0,25", "lfos.a.hz", 0.25),
          ("b-lfo-depth", "b=sine:0.3:0.2:0.5", "0,05", "lfos.b.depth", 0.05),
          ("reset-hz", "reset-hz=1", "2,5", "resetHz", 2.5)]


def decimal_comma(context):
    """A decimal comma reads as a point in every number field, the knobs', the LFOs' and the Reset clock's, without
    a complaint."""
    failures = []
    with Browser() as browser:
        for field_id, fragment, typed, held, expected in COMMAS:
            opened(browser, context.page, fragment)
            field = browser.driver.find_element(By.ID, field_id)
            field.send_keys(Keys.CONTROL, "a")
            field.send_keys(Keys.DELETE)
            field.send_keys(typed, Keys.TAB)
            value = browser.driver.execute_script(f"return window.tesselExplorer.settings.{held}")
            messages = browser.driver.execute_script(
                "return Array.from(document.querySelectorAll('.field-message'), (m) => m.textContent).join('')")
            if value != expected or messages:
                failures.append(f"{field_id} {typed!r}: {value}, saying {messages!r}; expected {expected}")
        check_no_problems(browser)
    assert not failures, "\n".join(failures)


TESTS = [fine_steps, slider_travel, any_width, every_rate_plays_and_draws, follows_dark_mode, decimal_comma]

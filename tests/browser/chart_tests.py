"""The chart's steering, axes, legend and kept views in headless Chromium."""
import math
import re
import time

from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.actions.wheel_input import ScrollOrigin
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import Select

from harness import Browser
from page_common import (
    CHART_DONE, CHART_HEIGHT, CHART_WIDTH, COARSE_DONE, check_no_problems, double_click, press, wait_for_chart,
)

CHART = "window.tesselExplorer.chart"
VIEW = f"return {CHART}.view"
A_B = "const s = window.tesselExplorer.settings; return [s.a, s.b]"
START = "a=1.2&b=0.25"


def at(browser, canvas, x, y, from_centre=False):
    """The viewport's pixel at shares x across and y down of the chart, or WebDriver's offset to it."""
    left, top, width, height = browser.driver.execute_script(
        "const r = arguments[0].getBoundingClientRect(); return [r.left, r.top, r.width, r.height];", canvas)
    if from_centre:
        return int((x - 0.5) * width), int((y - 0.5) * height)
    return left + x * width, top + y * height


def offset(browser, canvas, x, y):
    return at(browser, canvas, x, y, from_centre=True)


def mouse_drag(browser, canvas):
    ActionChains(browser.driver).move_to_element_with_offset(canvas, *offset(browser, canvas, 0.3, 0.3)) \
        .click_and_hold().move_by_offset(20, 15).move_by_offset(40, 30).release().perform()


def touch(browser, canvas, *path):
    """A finger down at the first of `path` (shares of the chart), moved through the rest, lifted."""
    points = [at(browser, canvas, x, y) for x, y in path]
    send = lambda kind, where: browser.driver.execute_cdp_cmd(
        "Input.dispatchTouchEvent", {"type": kind, "touchPoints": [{"x": x, "y": y} for x, y in where]})
    send("touchStart", points[:1])
    for point in points[1:]:
        send("touchMove", [point])
    send("touchEnd", [])


def keys(*sequence):
    return lambda browser, canvas: canvas.send_keys(*sequence)


def click(*share, twice=False):
    def gesture(browser, canvas):
        if twice:
            double_click(browser, *at(browser, canvas, *share))
        else:
            ActionChains(browser.driver).move_to_element_with_offset(canvas, *offset(browser, canvas, *share)) \
                .click().perform()
    return gesture


def zoomed(browser, canvas):
    canvas.send_keys("+")


def unfocused(browser, canvas):
    browser.driver.execute_script("arguments[0].blur()", canvas)


# (gesture, what comes first on a chart that has the keyboard, whether it sets a and b, whether it changes the view)
GESTURES = [
    ("plain click", None, click(0.7, 0.6), True, False),
    ("click on a chart without the keyboard", unfocused, click(0.7, 0.6), True, False),
    ("Enter on the cursor", None, keys(Keys.ARROW_RIGHT, Keys.ENTER), True, False),
    ("touch tap", unfocused, lambda b, c: touch(b, c, (0.7, 0.6)), True, False),
    ("mouse drag", None, mouse_drag, False, True),
    ("touch drag", None, lambda b, c: touch(b, c, (0.3, 0.3), (0.35, 0.35), (0.4, 0.4)), False, True),
    ("wheel away", None, lambda b, c: ActionChains(b.driver).scroll_from_origin(
        ScrollOrigin.from_element(c, *offset(b, c, 0.7, 0.6)), 0, -120).perform(), False, True),
    ("+ key", None, keys("+"), False, True),
    ("- key", zoomed, keys("-"), False, True),
    ("double-click", zoomed, click(0.7, 0.6, twice=True), False, True),
    ("double-click on a chart without the keyboard", lambda b, c: (zoomed(b, c), unfocused(b, c)),
     click(0.7, 0.6, twice=True), False, True),
    ("Zoom out", zoomed, lambda b, c: press(b, "zoom-out"), False, True),
    ("Whole plane", zoomed, lambda b, c: press(b, "zoom-whole"), False, True),
]


def only_clicks_steer(context):
    """A plain click and a tap, whether the chart has the keyboard or not, and Enter set a and b at once; zooming by
    drag, touch, wheel, keys or button never does, and a double-click leaves them as they were."""
    failures = []
    with Browser() as browser:
        browser.open(context.page, START)
        wait_for_chart(browser)
        canvas = browser.driver.find_element(By.ID, "chart")
        browser.driver.execute_script("arguments[0].scrollIntoView({block: 'center'})", canvas)
        for name, first, gesture, sets, zooms in GESTURES:
            browser.driver.execute_script(
                f"window.tesselExplorer.set({{a: 1.2, b: 0.25}}); {CHART}.zoomWhole();"
                f"{CHART}.forgetGestures(); arguments[0].focus();", canvas)
            if first:
                first(browser, canvas)
            before = browser.driver.execute_script(VIEW)
            gesture(browser, canvas)
            after, a_b = browser.driver.execute_script(VIEW), browser.driver.execute_script(A_B)
            if (a_b != [1.2, 0.25]) != sets:
                failures.append(f"{name}: a and b are {a_b}")
            if (after != before) != zooms:
                failures.append(f"{name}: the view went from {before} to {after}")
        check_no_problems(browser)
    assert not failures, "\n".join(failures)


# Where a tick's mark sits along its axis, as a share of the chart from a's or b's low end.
SHARE_ALONG = {
    "across": "(r.left - box.left) / box.width",
    "up": "(box.bottom - r.top) / box.height",
}


def check_axis(browser, axis, low, high, failures):
    """The ticks of one axis: at least three, a round step apart, written at that step, placed at their value."""
    ticks = browser.driver.execute_script(
        "const box = document.getElementById('chart').getBoundingClientRect();"
        f"return Array.from(document.querySelectorAll('#chart-{axis} .tick'), (t) => {{"
        "  const r = t.getBoundingClientRect();"
        f"  return [t.textContent, parseFloat(getComputedStyle(t).fontSize), {SHARE_ALONG[axis]}];"
        "});")
    values = [float(text) for text, _, _ in ticks]
    step = values[1] - values[0] if len(values) >= 3 else 0
    power = math.floor(math.log10(step) + 1e-9) if step > 0 else 0
    if step <= 0 or not any(abs(step / 10 ** power - m) < 1e-6 for m in (1, 2, 5)) \
            or any(abs(b - a - step) > step * 1e-6 for a, b in zip(values, values[1:])):
        failures.append(f"{axis}: ticks {values} are not three or more 1, 2 or 5 times a power of ten apart")
        return
    for (text, size, share), value in zip(ticks, values):
        if text != f"{round(value / step) * step:.{max(0, -power)}f}":
            failures.append(f"{axis}: {text!r} is not written at the step {step}")
        if size < 12:
            failures.append(f"{axis}: {text!r} in {size} px type")
        if abs(low + share * (high - low) - value) > (high - low) / 100:
            failures.append(f"{axis}: {text!r} sits at {low + share * (high - low)} V")


# A constant on the first pass's grid of the whole plane, from x0 = y0 = 0.
CONSTANT = (152, 200)


def legend_and_ticks(context):
    """Ticks at round values in readable type, where their volts are, whole and zoomed; a legend whose colours are
    the chart's."""
    failures = []
    with Browser() as browser:
        browser.open(context.page, "rate=48000")
        wait_for_chart(browser)
        canvas = browser.driver.find_element(By.ID, "chart")
        for _ in range(3):
            view = browser.driver.execute_script(VIEW)
            check_axis(browser, "across", view["acrossLow"], view["acrossHigh"], failures)
            check_axis(browser, "up", view["upLow"], view["upHigh"], failures)
            ActionChains(browser.driver).move_to_element_with_offset(canvas, 0, 0).click_and_hold() \
                .move_by_offset(40, 30).release().perform()
        entries = browser.driver.execute_script(
            "return Array.from(document.querySelectorAll('#chart-legend li'), (li) => {"
            "  const c = li.querySelector('canvas');"
            "  return [li.textContent, Array.from(c.getContext('2d').getImageData(1, 1, 1, 1).data.slice(0, 3))];"
            "});")
        # The chart's own colour at a point of the coarse pass that is a constant.
        browser.driver.execute_script(f"{CHART}.zoomWhole()")
        browser.wait_for(COARSE_DONE, timeout=60)
        constant = browser.driver.execute_script(
            f"const orbit = {CHART}.orbitAt({CONSTANT[0]}, {CONSTANT[1]});"
            "const chart = document.getElementById('chart').getContext('2d');"
            f"return orbit.outcome === 'cycle' && orbit.period === 1 &&"
            f" Array.from(chart.getImageData({CONSTANT[0]}, {CHART_HEIGHT - 1 - CONSTANT[1]}, 1, 1).data.slice(0, 3))")
        check_no_problems(browser)
    words = [text for text, _ in entries]
    periods = [tuple(int(n) for n in re.findall(r"\d+", text.split(":")[0]))
               for text in words if text.startswith("period")]
    if not periods or periods[0][0] != 2 or any(b[0] != a[-1] + 1 for a, b in zip(periods, periods[1:])):
        failures.append(f"the legend's periods do not run on from 2 without a gap: {periods}")
    if not any(text == "period 2: 24000 Hz" for text in words):
        failures.append(f"the legend does not name period 2's tone at 48000 Hz: {words}")
    constant_swatch = next((colour for text, colour in entries if "constant" in text), None)
    if constant_swatch != constant:
        failures.append(f"the legend's constant is {constant_swatch}, the chart's {constant}")
    assert not failures, "\n".join(failures)


def views_come_back(context):
    """Zoom out and Whole plane show finished views again at once, with no task sent to the workers, and go on
    with unfinished ones."""
    # Tasks are counted as they are posted to a worker, but for the chart of starting points' own.
    count_tasks = ("window.tasksSent = 0; const post = Worker.prototype.postMessage;"
                   "Worker.prototype.postMessage = function (...message) {"
                   "if (message[0].plane !== 'xy') window.tasksSent++; return post.apply(this, message); };")
    tasks = f"return [window.tasksSent, {CHART}.progress().complete, {CHART}.view]"
    with Browser() as browser:
        browser.open(context.page)
        wait_for_chart(browser)
        browser.driver.execute_script(count_tasks)
        canvas = browser.driver.find_element(By.ID, "chart")
        # Left unfinished and come back to, the whole plane goes on from where it was.
        done = f"return {CHART}.progress().done"
        left_at = browser.driver.execute_script(done)
        canvas.send_keys("+")
        press(browser, "zoom-whole")
        resumed_at = browser.driver.execute_script(done)
        browser.wait_for(CHART_DONE, timeout=300, interval=0.5)
        whole = browser.driver.execute_script(VIEW)
        # Into the top right, where maps stop at once and the points are quick.
        ActionChains(browser.driver).move_to_element_with_offset(canvas, *offset(browser, canvas, 0.8, 0.1)) \
            .click_and_hold().move_by_offset(30, 20).release().perform()
        browser.wait_for(CHART_DONE, timeout=300, interval=0.5)
        first = browser.driver.execute_script(VIEW)
        canvas.send_keys("+")
        press(browser, "zoom-out")
        out = browser.driver.execute_script(tasks)
        press(browser, "zoom-whole")
        back = browser.driver.execute_script(tasks)
        time.sleep(0.5)
        later = browser.driver.execute_script(tasks)
        status = browser.driver.find_element(By.ID, "chart-status").text
        check_no_problems(browser)
    assert resumed_at >= left_at, f"the unfinished whole plane started again: {resumed_at} of {left_at} points"
    assert out[1:] == [True, first], f"Zoom out did not show the first zoom at once: {out}"
    assert back[1:] == [True, whole], f"Whole plane did not show the whole plane at once: {back}"
    assert out[0] == back[0] == later[0], f"tasks went to the workers: {out[0]}, {back[0]}, {later[0]}"
    assert len(status) <= 30, f"the status line is long: {status!r}"


# Where a 0.6 V, b 0.3 V falls on the whole plane: a cycle of period 2, a tone at half the rate.
PERIOD_TWO = (0.32, 0.35)


def words_follow_the_rate(context):
    """A new sample rate retunes the legend's tones and the hovered point's words, with no new chart."""
    legend = "return Array.from(document.querySelectorAll('#chart-legend li'), (li) => li.textContent)"
    hover = "const t = document.getElementById('chart-hover').textContent; return t"
    with Browser() as browser:
        browser.open(context.page)
        wait_for_chart(browser)
        canvas = browser.driver.find_element(By.ID, "chart")
        ActionChains(browser.driver).move_to_element_with_offset(canvas, *offset(browser, canvas, *PERIOD_TWO)) \
            .perform()
        before = browser.wait_for(f"{hover}.includes('period 2') && t")
        Select(browser.driver.find_element(By.ID, "rate")).select_by_value("22050")
        after, words = browser.driver.execute_script(hover), browser.driver.execute_script(legend)
        check_no_problems(browser)
    assert "22050 Hz" in before, f"at 44100 Hz the point says {before!r}"
    assert "11025 Hz" in after and "22050" not in after, f"at 22050 Hz the point says {after!r}"
    assert "period 2: 11025 Hz" in words, f"the legend at 22050 Hz: {words}"


TESTS = [only_clicks_steer, legend_and_ticks, views_come_back, words_follow_the_rate]

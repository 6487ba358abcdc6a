"""What every browser test module shares: the page's readiness, tessel-render's
takes and words, comparing samples bit for bit, pressing buttons and clicking
the chart's points."""
import math
import struct
import subprocess
import time
from pathlib import Path

from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By

READY = "return window.tesselExplorer !== undefined"
# The chart's first pass: every 8th point each way.
COARSE_DONE = "return window.tesselExplorer.chart.progress().coarse"
CHART_DONE = "return window.tesselExplorer.chart.progress().complete"
CHART_WIDTH, CHART_HEIGHT = 600, 400
CHART_STEPS = 8192
# The take the page draws and judges, from a reset.
TAKE_SECONDS = 2


def fround(value):
    return struct.unpack("<f", struct.pack("<f", value))[0]


def signal_of(volts):
    return fround(volts / 10.0)


def floats(data):
    return struct.unpack(f"<{len(data) // 4}f", data)


def wav_samples(path):
    """The interleaved float samples of tessel-render's WAV (32-bit float, x left, y right)."""
    data = Path(path).read_bytes()
    at = 12
    while at < len(data):
        name, size = data[at:at + 4], struct.unpack("<I", data[at + 4:at + 8])[0]
        if name == b"data":
            return data[at + 8:at + 8 + size]
        at += 8 + size + (size & 1)
    raise AssertionError(f"{path} has no data chunk")


def first_difference(page, native, what):
    if len(page) != len(native):
        return f"{what}: {len(page) // 8} frames in the page, {len(native) // 8} natively"
    if page == native:
        return None
    p, n = floats(page), floats(native)
    at = next(i for i in range(len(p)) if struct.pack("<f", p[i]) != struct.pack("<f", n[i]))
    return f"{what}: first differs at frame {at // 2} ({'xy'[at % 2]}): page {p[at]!r}, native {n[at]!r}"


class Context:
    def __init__(self, page, render, folder):
        self.page, self.render, self.folder = page, render, Path(folder)

    def native_take(self, settings, seconds, resets=(), reset_hz=None):
        """tessel-render's WAV data for these settings; a, b, x0 and y0 may be signal texts."""
        out = self.folder / "take.wav"
        command = [self.render, "--quiet", "--out", str(out), "--seconds", str(seconds),
                   "--rate", str(settings["rate"]), "--a", settings["a"], "--b", settings["b"],
                   "--x0", settings["x0"], "--y0", settings["y0"], "--mode", settings["mode"],
                   "--normalize", settings["normalize"]]
        if settings["mode"] == "gated":
            command += ["--gate-hz", str(settings["gate"])]
        for at in resets:
            command += ["--reset-at", str(at)]
        if reset_hz:
            command += ["--reset-hz", str(reset_hz)]
        subprocess.run(command, check=True)
        return wav_samples(out)


def fragment(settings):
    return "&".join(f"{name}={value}" for name, value in settings.items())


def wait_for_chart(browser):
    """Waits for the explorer and the first coarse view of its chart."""
    browser.wait_for(READY)
    browser.wait_for(COARSE_DONE, timeout=60)


def check_no_problems(browser):
    problems = browser.problems()
    assert not problems, "\n".join(problems)


# The page's buttons the tests have pressed, by id.
PRESSED = set()


def press(browser, button_id):
    browser.driver.find_element(By.ID, button_id).click()
    PRESSED.add(button_id)



def tool_report(context, row, rate, seconds):
    """tessel-render's words for a CSV row's point, in short and exactly: its report on a take there.

    From its start a take's orbit is the chart's orbit after its reset; with Normalize off the report
    judges the outputs themselves.
    """
    inputs = [option for name in ("a", "b", "x0", "y0") for option in (f"--{name}", row[name])]
    command = [context.render, "--out", str(context.folder / "point.wav"), "--seconds", repr(seconds), "--rate",
               str(rate), "--normalize", "off", *inputs]
    report = subprocess.run(command, check=True, capture_output=True, text=True).stderr.splitlines()

    def saying(said):
        return next(line[len(said):] for line in report if line.startswith(said))
    return {"short": saying("tessel-render: in short: "), "exact": saying("tessel-render: the orbit: ")}


def tool_words(context, row, rate):
    """tessel-render's exact words for a CSV row's point on a take of the chart's steps."""
    return tool_report(context, row, rate, CHART_STEPS / rate)["exact"]


def click_point(browser, canvas, i, j):
    """Clicks chart point (i, j) of the chart: at a whole CSS pixel inside its cell, as a pointer lands.

    WebDriver offsets are whole pixels from the element's in-view centre, which it floors.
    """
    box = browser.driver.execute_script(
        "const r = arguments[0].getBoundingClientRect(); return [r.left, r.top, r.width, r.height];", canvas)
    left, top, width, height = box
    row = CHART_HEIGHT - 1 - j
    x = math.ceil(left + i * width / CHART_WIDTH + 1e-9)
    y = math.ceil(top + row * height / CHART_HEIGHT + 1e-9)
    assert x < left + (i + 1) * width / CHART_WIDTH and y < top + (row + 1) * height / CHART_HEIGHT, \
        f"the chart is shown too small ({width}x{height}) to click every point"
    centre_x, centre_y = math.floor(left + width / 2), math.floor(top + height / 2)
    ActionChains(browser.driver).move_to_element_with_offset(canvas, x - centre_x, y - centre_y).click().perform()
    # The next click is no second one of a double click.
    browser.driver.execute_script("window.tesselExplorer.chart.forgetGestures()")


def double_click(browser, x, y):
    """A double click at viewport pixel (x, y), its events stamped 60 ms apart however late a busy machine
    delivers them: the page tells a double click by its events' times."""
    now = time.time()
    for at, kind in enumerate(["mousePressed", "mouseReleased"] * 2):
        browser.driver.execute_cdp_cmd("Input.dispatchMouseEvent", {
            "type": kind, "x": x, "y": y, "button": "left", "clickCount": 1 + at // 2, "timestamp": now + 0.02 * at})

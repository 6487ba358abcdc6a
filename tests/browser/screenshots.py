#!/usr/bin/python3
"""Takes the screenshots of docs/explorer.md in headless Chromium: the
page as it opens, the chart zoomed in on the chaotic band around the usual
a 1.4 V, b 0.3 V, the page on a phone in the dark theme with an LFO on a,
the chart of starting points, a recording made with a knob moved, and a
verdict's word explained. Each waits for the charts to be complete.

Usage: screenshots.py PAGE OUT_FOLDER
"""
import base64
import sys
import time
from pathlib import Path

from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By

from harness import Browser

CHART_DONE = "return window.tesselExplorer.chart.progress().complete"
START_DONE = "return window.tesselExplorer.startChart.progress().complete"


def clipped(browser, element, path, below=0):
    """A screenshot of the element and `below` CSS pixels under it, where a word's explanation shows."""
    box = browser.driver.execute_script(
        "const r = arguments[0].getBoundingClientRect(); return [r.left, r.top + scrollY, r.width, r.height];", element)
    shot = browser.driver.execute_cdp_cmd("Page.captureScreenshot", {"captureBeyondViewport": True, "clip": {
        "x": box[0], "y": box[1], "width": box[2], "height": box[3] + below, "scale": 1}})
    Path(path).write_bytes(base64.b64decode(shot["data"]))


def recording_and_words(browser, page, out):
    """A recording with b moved meanwhile, its files and command line; then a verdict's word explained."""
    browser.open(page, "a=sine:1.2:0.2:0.5&b=0.3")
    browser.driver.refresh()
    browser.wait_for("return window.tesselExplorer !== undefined")
    browser.driver.find_element(By.ID, "record").click()
    browser.wait_for("return /Recording: [1-9]/.test(document.getElementById('record-state').textContent)", timeout=60)
    browser.driver.execute_script("window.tesselExplorer.set({b: 0.28})")
    time.sleep(1.5)
    browser.driver.find_element(By.ID, "play").click()
    browser.wait_for("return document.getElementById('record-state').textContent.startsWith('Recorded')")
    recording = browser.driver.find_element(By.ID, "recording")
    browser.driver.execute_script("arguments[0].scrollIntoView({block: 'center'})", recording)
    recording.screenshot(str(out / "explorer-recording.png"))
    browser.open(page, "a=0.7&b=0.3")
    browser.driver.refresh()
    browser.wait_for("return window.tesselExplorer !== undefined")
    browser.driver.execute_script("scrollTo(0, 0); document.querySelector('#verdict .term:last-of-type').focus()")
    clipped(browser, browser.driver.find_element(By.CSS_SELECTOR, ".transport"),
            out / "explorer-glossary.png", below=110)


def main():
    page, out = Path(sys.argv[1]), Path(sys.argv[2])
    # Windows tall enough to hold the whole explorer: an element's screenshot shows only what the window does.
    with Browser(width=1600, height=2700) as browser:
        browser.open(page)
        browser.wait_for("return window.tesselExplorer !== undefined")
        browser.wait_for(CHART_DONE, timeout=300, interval=0.5)
        explorer = browser.driver.find_element(By.ID, "explorer-app")
        explorer.screenshot(str(out / "explorer.png"))

        # From a 1.15 V, b 0.45 V to a 1.65 V, b 0.1 V: points (258, 110) to (318, 180) of the 600x400 chart,
        # however large the chart is drawn.
        canvas = browser.driver.find_element(By.ID, "chart")
        scale = browser.driver.execute_script("return arguments[0].getBoundingClientRect().width / 600", canvas)
        at = lambda points: int(points * scale)
        ActionChains(browser.driver).move_to_element_with_offset(canvas, at(258 - 300), at(110 - 200)) \
            .click_and_hold().move_by_offset(at(30), at(35)).move_by_offset(at(30), at(35)).release().perform()
        browser.wait_for(CHART_DONE, timeout=300, interval=0.5)
        ActionChains(browser.driver).move_to_element_with_offset(canvas, at(40), at(-60)).perform()
        browser.driver.find_element(By.CSS_SELECTOR, ".chart-view").screenshot(str(out / "explorer-zoomed.png"))
        start_chart = browser.driver.find_element(By.ID, "start-chart")
        browser.driver.execute_script("arguments[0].scrollIntoView({block: 'end'})", start_chart)
        browser.wait_for(START_DONE, timeout=300, interval=0.5)
        canvas = browser.driver.find_element(By.ID, "xy-chart")
        ActionChains(browser.driver).move_to_element_with_offset(canvas, at(-90), at(40)).perform()
        start_chart.screenshot(str(out / "explorer-start-chart.png"))
        recording_and_words(browser, page, out)
        problems = browser.problems()
    with Browser() as browser:
        # A phone's width: a window cannot be made that narrow, so the page is told it is.
        browser.driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                                       {"width": 400, "height": 2400, "deviceScaleFactor": 1, "mobile": False})
        browser.driver.execute_cdp_cmd("Emulation.setEmulatedMedia",
                                       {"features": [{"name": "prefers-color-scheme", "value": "dark"}]})
        browser.open(page, "a=sine:1.2:0.2:0.5&b=0.3")
        browser.wait_for("return window.tesselExplorer !== undefined")
        browser.wait_for(CHART_DONE, timeout=300, interval=0.5)
        browser.driver.find_element(By.ID, "explorer-app").screenshot(str(out / "explorer-phone.png"))
        problems += browser.problems()
    for problem in problems:
        print(problem, file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())

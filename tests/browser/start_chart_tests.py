"""The chart of starting points: x0 across and y0 up at the current a and b, its rows tessel-render --plane xy's,
a click setting x0 and y0."""
import csv
import subprocess

from selenium.webdriver.common.by import By

from harness import Browser
from page_common import READY, check_no_problems, click_point, press, signal_of

START_CHART = "window.tesselExplorer.startChart"
# Every point's verdict as the CSV gives it: outcome, period, steps, settle (empty without a period).
ROWS = f"""const chart = {START_CHART}; const rows = [];
for (let j = 0; j < 400; ++j) for (let i = 0; i < 600; ++i) {{
  const o = chart.orbitAt(i, j);
  rows.push([o.outcome, o.period, o.steps, o.period > 0 ? o.settle : ''].join(','));
}}
return [rows, chart.points()];"""

# (the link, a point to click (i, j)): a chaotic attractor's basin, a cycle's, a map that stops almost everywhere.
START_CASES = [("a=1.4&b=0.3", (300, 200)), ("a=1.2&b=-0.25&rate=48000", (420, 120)), ("a=0.3&b=0.9", (100, 300))]


def tool_rows(context, link):
    """tessel-render's --plane xy rows for the link's a and b, each as ROWS writes a page's point."""
    inputs = dict(field.split("=") for field in link.split("&"))
    table = context.folder / "start.csv"
    subprocess.run([context.render, "--quiet", "--plane", "xy", "--a", inputs["a"], "--b", inputs["b"],
                    "--rate", inputs.get("rate", "44100"), "--chart-data", str(table)], check=True)
    with open(table, newline="") as rows:
        rows = list(csv.DictReader(rows))
    return rows, [",".join([r["outcome"], r["period"], r["steps"], r["settle"]]) for r in rows]


def zooms(browser):
    """The chart's views: whole, zoomed by +, after Zoom out, zoomed again, after Whole plane."""
    view = f"return {START_CHART}.view"
    canvas = browser.driver.find_element(By.ID, "xy-chart")
    views = [browser.driver.execute_script(view)]
    for step in ["+", "xy-zoom-out", "+", "xy-zoom-whole"]:
        if step == "+":
            canvas.send_keys("+")
        else:
            browser.driver.execute_script(f"document.getElementById('{step}').scrollIntoView({{block: 'center'}})")
            press(browser, step)
        views.append(browser.driver.execute_script(view))
    return views


def start_chart_agrees(context):
    """At three a, b: every point of the chart of starting points is tessel-render --plane xy's row, its x0 and y0
    the same floats; a click sets x0 and y0 to its row's floats and leaves a and b; it zooms as the a-b chart does."""
    failures = []
    with Browser() as browser:
        for link, (i, j) in START_CASES:
            browser.open(context.page, link)
            browser.driver.refresh()  # a new page, not the last one's chart following its new fragment
            browser.wait_for(READY)
            browser.wait_for(f"return {START_CHART}.progress().complete", timeout=600, interval=0.5)
            rows, points = browser.driver.execute_script(ROWS)
            csv_rows, expected = tool_rows(context, link)
            across = [signal_of(float(r["x0"])) for r in csv_rows[:600]]
            up = [signal_of(float(r["y0"])) for r in csv_rows[::600]]
            if [signal_of(v) for v in points["across"]] != across or [signal_of(v) for v in points["up"]] != up:
                failures.append(f"{link}: the points' x0 or y0 differ from the CSV's")
            differing = [k for k in range(len(expected)) if rows[k] != expected[k]]
            if differing:
                k = differing[0]
                failures.append(f"{link}: {len(differing)} points differ, first ({k % 600}, {k // 600}): "
                                f"page {rows[k]!r}, CSV {expected[k]!r}")
            before = browser.driver.execute_script("const s = window.tesselExplorer.settings; return [s.a, s.b]")
            canvas = browser.driver.find_element(By.ID, "xy-chart")
            # Wholly in view: WebDriver's offsets are from the centre of the part in view.
            browser.driver.execute_script("arguments[0].scrollIntoView({block: 'center'})", canvas)
            click_point(browser, canvas, i, j)
            settings = browser.driver.execute_script("return window.tesselExplorer.settings")
            row = csv_rows[j * 600 + i]
            if [signal_of(settings["x0"]), signal_of(settings["y0"])] != [signal_of(float(row["x0"])),
                                                                           signal_of(float(row["y0"]))] \
                    or [settings["a"], settings["b"]] != before:
                failures.append(f"{link}: clicked ({i}, {j}), the settings are {settings}, the CSV's row {row}")
        views = zooms(browser)
        if views[0] == views[1] or views[2] != views[0] or views[3] == views[0] or views[4] != views[0]:
            failures.append(f"+, Zoom out, + and Whole plane on the chart of starting points gave the views {views}")
        check_no_problems(browser)
    assert not failures, "\n".join(failures)


TESTS = [start_chart_agrees]

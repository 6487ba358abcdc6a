"""Debian's headless Chromium, driven through its own chromedriver, for the
page's tests: one fresh browser per test, the network refused, and everything
the page says on its console or asks of the network collected.

The driver's path is given explicitly, so Selenium never looks for one online.
The network is refused twice over: a proxy that leads nowhere (loopback
excepted, so file:// is untouched) and the DevTools protocol's offline mode.
Whatever the page asks for anyway is caught from the protocol's log, from the
page's resource timing entries and from the console.
"""
import json
import os
import shutil
import tempfile
import time
from pathlib import Path

from selenium import webdriver
from selenium.webdriver.chrome.service import Service

CHROMEDRIVER = "/usr/bin/chromedriver"
CHROMIUM = "/usr/bin/chromium"
# What the page itself may load from: nothing that leaves the file.
LOCAL_SCHEMES = ("file:", "data:", "blob:")

BROWSER_ARGUMENTS = [
    "--headless=new",
    "--disable-gpu",
    "--disable-background-networking",
    "--disable-component-update",
    "--disable-sync",
    "--disable-extensions",
    "--disable-default-apps",
    "--no-first-run",
    "--no-default-browser-check",
    "--mute-audio",
    "--autoplay-policy=no-user-gesture-required",
    "--proxy-server=127.0.0.1:9",
    "--proxy-bypass-list=<-loopback>",
]


class Browser:
    """One headless Chromium with a fresh profile; use it in a `with` block."""

    def __init__(self, width=1600, height=1100, javascript=True):
        self.profile = tempfile.mkdtemp(prefix="tessel-browser-")
        options = webdriver.ChromeOptions()
        options.binary_location = CHROMIUM
        for argument in BROWSER_ARGUMENTS + [f"--user-data-dir={self.profile}", f"--window-size={width},{height}"]:
            options.add_argument(argument)
        if os.geteuid() == 0:
            options.add_argument("--no-sandbox")  # Chromium refuses to run as root inside its sandbox
        if not javascript:
            options.add_argument("--blink-settings=scriptEnabled=false")
        options.set_capability("goog:loggingPrefs", {"browser": "ALL", "performance": "ALL"})
        self.driver = webdriver.Chrome(service=Service(executable_path=CHROMEDRIVER), options=options)
        self.driver.set_script_timeout(120)
        self.driver.execute_cdp_cmd("Network.enable", {})
        self.driver.execute_cdp_cmd("Network.emulateNetworkConditions",
                                    {"offline": True, "latency": 0, "downloadThroughput": 0, "uploadThroughput": 0})
        self.console = []
        self.requests = []
        self.page_url = None

    def __enter__(self):
        return self

    def __exit__(self, *exception):
        try:
            self.driver.quit()
        finally:
            shutil.rmtree(self.profile, ignore_errors=True)

    def open(self, path, fragment=""):
        """Opens a local file; what the browser did before (its start page) is forgotten."""
        self.driver.get_log("performance")
        self.driver.get_log("browser")
        self.page_url = Path(path).resolve().as_uri() + (f"#{fragment}" if fragment else "")
        self.driver.get(self.page_url)

    def before_every_page(self, source):
        """Runs `source` in every page opened from now on, before the page's own scripts."""
        self.driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {"source": source})

    def wait_for(self, script, timeout=30.0, interval=0.05):
        """Runs `script` (returning a value) until it gives something truthy; returns that."""
        deadline = time.monotonic() + timeout
        while True:
            value = self.driver.execute_script(script)
            if value:
                return value
            if time.monotonic() > deadline:
                raise AssertionError(f"timed out after {timeout} s waiting for: {script}")
            time.sleep(interval)

    def call(self, expression, *arguments):
        """Awaits a promise-returning expression in the page; `arguments` are visible as `args`."""
        result = self.driver.execute_async_script(
            "const done = arguments[arguments.length - 1];"
            "const args = Array.from(arguments).slice(0, -1);"
            f"Promise.resolve().then(() => ({expression}))"
            ".then((value) => done({value}), (error) => done({error: String(error && error.stack || error)}));",
            *arguments)
        if "error" in result:
            raise AssertionError(f"{expression} failed in the page: {result['error']}")
        return result.get("value")

    def collect(self):
        """Gathers console messages and requests since the page was opened."""
        for entry in self.driver.get_log("browser"):
            self.console.append(entry)
        for entry in self.driver.get_log("performance"):
            message = json.loads(entry["message"])["message"]
            if message["method"] == "Network.requestWillBeSent":
                self.requests.append(message["params"]["request"]["url"])
        try:
            self.requests += self.driver.execute_script(
                "return performance.getEntriesByType('resource').map((entry) => entry.name)")
        except Exception:  # a page that is gone has no entries to give
            pass

    def problems(self):
        """Console errors and warnings, and every request that would leave the file."""
        self.collect()
        found = [f"console {entry['level']}: {entry['message'][-300:]}" for entry in self.console
                 if entry["level"] in ("WARNING", "SEVERE")]
        found += [f"request leaving the file: {url[:160]}" for url in self.requests
                  if not url.startswith(LOCAL_SCHEMES)]
        return found

    def screenshot(self, path):
        self.driver.save_screenshot(str(path))

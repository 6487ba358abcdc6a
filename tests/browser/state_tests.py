"""What the page says of the map's state: a stop, in the take drawn and in the sound playing, said where the
verdict is; Reset restarting both, visibly, playing or not; the Reset on change switch."""
import time

from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys

from harness import Browser
from page_common import READY, check_no_problems, press

# What the line on the sound playing says, "" while it is hidden.
SOUND_SAID = "(document.getElementById('sound-state').hidden ? '' : document.getElementById('sound-state').textContent)"
SOUND_STATE = f"return {SOUND_SAID}"
RUNNING = "return window.tesselExplorer.audio.state === 'running'"
# Long enough for the worklet to have rendered many quanta with the settings last sent.
SETTLE_SECONDS = 0.5


def type_a(browser, volts):
    field = browser.driver.find_element(By.ID, "a-number")
    # Typed over, as a musician replaces a value: an emptied field puts back the value in effect.
    field.send_keys(Keys.CONTROL, "a")
    field.send_keys(volts, Keys.ENTER)


def said(browser):
    return browser.driver.execute_script(
        "return Object.fromEntries(['verdict', 'take-text', 'reset-note'].map("
        "(id) => [id, document.getElementById(id).textContent]))")


# (what, Play pressed, Reset on change switched on, whether the sound stays stopped once a comes back to 1.4 V)
STOP_CASES = [
    ("not playing", False, False, False),
    ("playing, as a host: the stop lasts until Reset", True, False, True),
    ("playing, Reset on change: the change restarts it", True, True, False),
]


def stop_said_and_reset(context):
    """At a = 4 V the map stops: the verdict and the take say so, the sound playing says so until a Reset (or a change
    with Reset on change), and Reset says it restarted the orbit from x0, y0, playing or not."""
    failures = []
    for what, playing, reset_on_change, stays in STOP_CASES:
        with Browser() as browser:
            browser.open(context.page, "x0=0.5&y0=-0.25")
            browser.wait_for(READY)
            switch = browser.driver.find_element(By.ID, "reset-on-change")
            if switch.is_selected():
                failures.append(f"{what}: Reset on change is on by default")
            if reset_on_change:
                switch.click()
            if playing:
                press(browser, "play")
                browser.wait_for(RUNNING)
            type_a(browser, "4")
            stopped = said(browser)
            if stopped["verdict"] != "Continuous: silent: the map stops after 2 steps and waits for Reset":
                failures.append(f"{what}: at a = 4 V the verdict reads {stopped['verdict']!r}")
            if "the map stopped itself at sample 2" not in stopped["take-text"]:
                failures.append(f"{what}: at a = 4 V the take's line reads {stopped['take-text']!r}")
            sound = browser.wait_for(SOUND_STATE) if playing else browser.driver.execute_script(SOUND_STATE)
            if playing and "has stopped: the map stopped itself" not in sound:
                failures.append(f"{what}: the stopped sound is said as {sound!r}")
            if not playing and sound:
                failures.append(f"{what}: without sound the page says {sound!r}")
            type_a(browser, "1.4")
            if said(browser)["verdict"] != "Continuous: noise, rough":
                failures.append(f"{what}: back at a = 1.4 V the verdict reads {said(browser)['verdict']!r}")
            if playing:
                time.sleep(SETTLE_SECONDS) if stays else browser.wait_for(f"return !{SOUND_SAID}")
                if bool(browser.driver.execute_script(SOUND_STATE)) != stays:
                    failures.append(f"{what}: back at a = 1.4 V the sound is said {'running' if stays else 'stopped'}")
            press(browser, "reset")
            note = said(browser)["reset-note"]
            if not note.startswith("Reset: the orbit restarted from x0 0.5 V, y0 -0.25 V"):
                failures.append(f"{what}: Reset says {note!r}")
            if playing:
                browser.wait_for(f"return !{SOUND_SAID}")
            check_no_problems(browser)
    assert not failures, "\n".join(failures)


TESTS = [stop_said_and_reset]

"""Patches kept in the browser's storage come back after a reload, load, copy as links and are deleted; one that no
longer reads is listed as such; Ctrl+Z and Ctrl+Shift+Z undo and redo the last change."""
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys

from harness import Browser
from page_common import READY, check_no_problems, press

SETTINGS = "const s = window.tesselExplorer.settings; return [s.a, s.b, s.mode]"
ROWS = "return [...document.querySelectorAll('#patch-list li')].map((li) => li.textContent)"


def row_button(browser, name, label):
    button = browser.driver.find_element(By.CSS_SELECTOR, f'#patch-list button[aria-label="{label} {name}"]')
    browser.driver.execute_script("arguments[0].scrollIntoView({block: 'center'})", button)
    return button


def press_shown(browser, button_id):
    """Presses a button scrolled to the middle of the window, clear of the transport bar kept at the top."""
    browser.driver.execute_script(f"document.getElementById('{button_id}').scrollIntoView({{block: 'center'}})")
    press(browser, button_id)


def keys(browser, *sequence):
    """A chord on the page, the focus on no field."""
    browser.driver.execute_script("document.activeElement.blur()")
    chord = ActionChains(browser.driver)
    for key in sequence[:-1]:
        chord.key_down(key)
    chord.send_keys(sequence[-1])
    for key in reversed(sequence[:-1]):
        chord.key_up(key)
    chord.perform()


def patches_kept_and_undone(context):
    """A patch kept by name is listed after a reload and loads its settings; a stored patch that no longer reads is
    listed, saying so; Delete removes one; Ctrl+Z puts back the value before the last change, Ctrl+Shift+Z makes
    it again, Undo undoes a load and Redo loads it again."""
    with Browser() as browser:
        browser.open(context.page, "a=1.2&b=0.25&mode=gated")
        browser.wait_for(READY)
        press_shown(browser, "patches")
        browser.driver.find_element(By.ID, "patch-name").send_keys("slow  bells")
        press_shown(browser, "keep-patch")
        browser.driver.execute_script("localStorage.setItem('tessel-map patch: broken', 'a=abc&b=0.2')")
        browser.open(context.page, "a=1.4")
        browser.driver.refresh()
        browser.wait_for(READY)
        press_shown(browser, "patches")
        rows = browser.wait_for(ROWS)
        row_button(browser, "slow bells", "Load").click()
        loaded = browser.driver.execute_script(SETTINGS)
        browser.driver.execute_script("window.tesselExplorer.set({b: 0.3})")
        steps = []
        for sequence in [(Keys.CONTROL, "z"), (Keys.CONTROL, Keys.SHIFT, "z"), (Keys.CONTROL, "z"), ("undo",),
                         ("redo",)]:
            if len(sequence) == 1:
                press_shown(browser, sequence[0])
            else:
                keys(browser, *sequence)
            steps.append(browser.driver.execute_script(SETTINGS))
        row_button(browser, "broken", "Delete").click()
        after_delete = browser.driver.execute_script(ROWS)
        check_no_problems(browser)
    assert len(rows) == 2 and "no longer reads in full: a=abc" in rows[0] and rows[1].startswith("slow bells"), rows
    assert loaded == [1.2, 0.25, "gated"], loaded
    assert steps == [[1.2, 0.25, "gated"], [1.2, 0.3, "gated"], [1.2, 0.25, "gated"], [1.4, 0.3, "continuous"],
                     [1.2, 0.25, "gated"]], steps
    assert len(after_delete) == 1 and after_delete[0].startswith("slow bells"), after_delete


TESTS = [patches_kept_and_undone]

"""Record: what plays, with knobs moved, Resets pressed and settings changed meanwhile, saved as the sound and
its inputs, and replayed by the recording's own command line through tessel-render bit for bit."""
import shlex
import subprocess
import time
from pathlib import Path

from harness import Browser
from page_common import READY, check_no_problems, first_difference, press, wav_samples

PLAYING = "const p = window.tesselExplorer.audio; return p.node && p.state === 'running'"
RECORDING_SAYS = "const s = document.getElementById('record-state'); return !s.hidden && s.textContent"
SECONDS = "return window.tesselExplorer.audio.playing && document.getElementById('record-state').textContent"

# (what, the link, the changes made while recording, each a hook call or a button, how it ends, what the page says
# of the end, the inputs file's channels)
RECORD_CASES = [
    ("an LFO on a, knobs moved and a Reset", "a=sine:1.2:0.2:3&reset-hz=2",
     [{"b": 0.25}, "reset", {"a": 1.3}, {"x0": 0.5}, "reset"], "play", "ended by Stop", "Reset, x0, a, b"),
    ("Gated at 48000 Hz, x0 moving, the clock changed", "mode=gated&gate=500&rate=48000&x0=sine:0:0.5:2&normalize=off",
     [{"gate": 700}, {"y0": -0.3}, "reset"], "record", "ended by Stop", "Gate, Reset, x0, y0"),
    ("Normalize switched while recording", "a=1.35",
     [{"b": 0.28}, {"normalize": False}], None, "ended by a change the module hears", "Reset, b"),
]


def wait_file(path):
    deadline = time.monotonic() + 30
    while not path.exists() and time.monotonic() < deadline:
        time.sleep(0.1)
    time.sleep(0.3)
    return path


def recorded_and_replayed(context, browser, downloads, changes, ending):
    """Records while making the changes; returns the saved sound, the replayed sound and what the page said."""
    press(browser, "record")
    browser.wait_for(PLAYING)
    browser.wait_for("return /Recording: [1-9]/.test(document.getElementById('record-state').textContent)", timeout=30)
    for change in changes:
        if isinstance(change, str):
            press(browser, change)
        else:
            browser.driver.execute_script("window.tesselExplorer.set(arguments[0])", change)
        time.sleep(0.4)
    if ending:
        press(browser, ending)
    said = browser.wait_for("const s = document.getElementById('record-state').textContent;"
                            "return s.startsWith('Recorded') && s", timeout=30)
    command = browser.driver.execute_script("return document.getElementById('replay-text').textContent")
    channels = browser.driver.execute_script("return document.getElementById('recording-text').textContent")
    for button in ["save-recording", "save-inputs", "copy-replay"]:
        browser.driver.execute_script(f"document.getElementById('{button}').scrollIntoView({{block: 'center'}})")
        press(browser, button)
    words = shlex.split(command)
    sound = wait_file(downloads / (Path(words[words.index("--out") + 1]).stem.replace("-replayed", "") + ".wav"))
    inputs = next(word.split("=")[1].split(":")[0] for word in words if word.startswith("reset="))
    wait_file(downloads / inputs)
    subprocess.run([str(Path(context.render).resolve()), "--quiet", *words[1:]], check=True, cwd=downloads)
    return wav_samples(sound), wav_samples(downloads / words[words.index("--out") + 1]), said, channels, command


def recording_replays(context):
    """A recording, with knobs moved, Resets, a Gate clock changed, ended by Stop, by Record or by a change the
    module hears as an event, is replayed by its own command line through tessel-render bit for bit; the page says
    how it ended and which inputs move."""
    failures = []
    downloads = Path(context.folder) / "recordings"
    with Browser() as browser:
        browser.driver.execute_cdp_cmd("Page.setDownloadBehavior", {"behavior": "allow", "downloadPath": str(downloads)})
        for what, link, changes, ending, end_said, moving in RECORD_CASES:
            browser.open(context.page, link)
            browser.wait_for(READY)
            saved, replayed, said, channels, command = recorded_and_replayed(context, browser, downloads, changes,
                                                                             ending)
            print(f"  ({what}: {said}; {command})")
            if len(saved) < 8 * 44100:
                failures.append(f"{what}: only {len(saved) // 8} frames recorded")
            failures.append(first_difference(replayed, saved, what))
            if end_said not in said or f"a channel each: {moving};" not in channels:
                failures.append(f"{what}: the page says {said!r}, {channels!r}")
            if browser.driver.execute_script("return window.tesselExplorer.audio.playing"):
                press(browser, "play")
        check_no_problems(browser)
    failures = [failure for failure in failures if failure]
    assert not failures, "\n".join(failures)


TESTS = [recording_replays]

"""The verdict's and the legend's words explained: each a link to its entry in the manual's glossary, whose words
it shows on focus (the exact verdict opened, as Exactly opens it)."""
from harness import Browser
from page_common import READY, check_no_problems

# (the link, the glossary entries its verdict, short and exact, names)
VERDICT_CASES = [
    ("a=1.4", {"noise", "chaos", "lyapunov"}),
    ("a=1.25&b=0.3", {"period"}),
    ("a=1&b=0.3", {"period", "nyquist"}),
    ("a=0.7&b=0.3", {"period", "nyquist"}),
    ("a=0.2&b=0.3", {"constant", "period"}),
    ("a=4", {"stops", "reset"}),
    ("a=1.6583334&b=0.085&normalize=off", {"noise", "period", "chaos", "rounding-cycle", "lyapunov"}),
    # a stops at its LFO's top and comes back to where the map sounds
    ("a=sine:1.4:0.03:0.5&b=0.3", {"noise", "stops", "chaos", "lyapunov", "reset", "sounds"}),
]
# Every term in the verdict and the legend: its entry, its explanation, the glossary's words for that entry, and
# what shows when it has the focus.
TERMS = """const glossary = (id) => { const dt = document.getElementById(id); return dt && dt.nextElementSibling.textContent; };
document.querySelector('.verdict-more').open = true;
return [...document.querySelectorAll('#verdict .term, #verdict-exact .term, #chart-legend .term')].map((term) => {
  term.focus();
  const shown = getComputedStyle(term, '::after').content;
  const id = term.getAttribute('href').slice(1);
  return [term.closest('[id]').id, id.replace('glossary-', ''), term.dataset.explains, glossary(id), shown];
});"""


def words_explained(context):
    """Each verdict's words name the entries they should, every term's explanation is its glossary entry's and shows
    on focus, and every legend entry has an explained word."""
    failures = []
    with Browser() as browser:
        for link, expected in VERDICT_CASES:
            browser.open(context.page, link)
            browser.driver.refresh()
            browser.wait_for(READY)
            terms = browser.driver.execute_script(TERMS)
            named = {entry for where, entry, *_ in terms if where.startswith("verdict")}
            if named != expected:
                failures.append(f"{link}: the verdict explains {sorted(named)}, expected {sorted(expected)}")
            for where, entry, explains, in_glossary, shown in terms:
                if not explains or explains != in_glossary or shown != f'"{explains}"':
                    failures.append(f"{link}: {where}'s {entry}: {explains!r}, the glossary {in_glossary!r}, "
                                    f"shown {shown!r}")
        legend = browser.driver.execute_script(
            "return [...document.querySelectorAll('#chart-legend li')].map((li) => li.querySelector('.term') !== null)")
        if not legend or not all(legend):
            failures.append(f"legend entries with an explained word: {legend}")
        check_no_problems(browser)
    assert not failures, "\n".join(failures)


TESTS = [words_explained]

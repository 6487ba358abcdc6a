// The chart's axes: ticks at round values (1, 2 or 5 times a power of ten),
// written as the step's own decimals, placed where those volts fall.

// The most ticks an axis gets; fewer where the round step leaves fewer.
const MOST_TICKS = { across: 7, up: 6 };

// The round step giving at most `most` ticks over [low, high], and the decimals that write it.
export function roundStep(low, high, most) {
  const rough = (high - low) / most;
  const power = 10 ** Math.floor(Math.log10(rough));
  const step = [1, 2, 5, 10].map((m) => m * power).find((candidate) => candidate >= rough);
  return { step, decimals: Math.max(0, -Math.floor(Math.log10(step) + 1e-9)) };
}

// The ticks over [low, high]: { value, text, at } with `at` the share of the way from low.
export function ticksOf(low, high, most) {
  const { step, decimals } = roundStep(low, high, most);
  const ticks = [];
  for (let k = Math.ceil(low / step); k * step <= high; k++) {
    const value = k * step;
    ticks.push({ value, text: (value === 0 ? 0 : value).toFixed(decimals), at: (value - low) / (high - low) });
  }
  return ticks;
}

// Writes the ticks of a view into the two axis elements: a across, b up (from the bottom). A tick is
// a mark at its value holding its label; a label that would reach past the end of a's axis is moved
// back within it, so the chart never widens the page.
export function drawAxes(across, up, view) {
  const place = (element, ticks, side) => {
    element.replaceChildren(...ticks.map((tick) => {
      const mark = document.createElement("span");
      mark.className = "tick";
      mark.style[side] = `${(100 * tick.at).toFixed(3)}%`;
      const label = document.createElement("span");
      label.textContent = tick.text;
      mark.append(label);
      return mark;
    }));
  };
  place(across, ticksOf(view.aLow, view.aHigh, MOST_TICKS.across), "left");
  const end = across.getBoundingClientRect().right;
  for (const label of across.querySelectorAll(".tick > span")) {
    const beyond = label.getBoundingClientRect().right - end;
    if (beyond > 0) label.style.translate = `${-beyond}px`;
  }
  const upTicks = ticksOf(view.bLow, view.bHigh, MOST_TICKS.up);
  place(up, upTicks, "bottom");
  // Labels placed by position take no room of their own: the column is as wide as the longest.
  up.style.width = `${Math.max(...upTicks.map((tick) => tick.text.length)) + 1}ch`;
}

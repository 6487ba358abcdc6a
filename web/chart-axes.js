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

// Writes the ticks of a view into the two axis elements: a across, b up (from the bottom).
export function drawAxes(across, up, view) {
  const place = (element, ticks, side) => {
    element.replaceChildren(...ticks.map((tick) => {
      const label = document.createElement("span");
      label.className = "tick";
      label.textContent = tick.text;
      label.dataset.value = String(tick.value);
      label.style[side] = `${(100 * tick.at).toFixed(3)}%`;
      return label;
    }));
  };
  place(across, ticksOf(view.aLow, view.aHigh, MOST_TICKS.across), "left");
  const upTicks = ticksOf(view.bLow, view.bHigh, MOST_TICKS.up);
  place(up, upTicks, "bottom");
  // Labels placed by position take no room of their own: the column is as wide as the longest.
  up.style.width = `${Math.max(...upTicks.map((tick) => tick.text.length)) + 1}ch`;
}

// The chart's colour legend: every colour asked of the module (through
// tessel.js) as the chart's own points are, so the legend cannot drift from
// the chart. Cycle colours are grouped by the runs of periods sharing one.

const SWATCH = { width: 28, height: 14 };
const BAR = { width: 56, height: 14 };
const CSS_RGB = (rgb) => `rgb(${rgb.join(",")})`;

// Periods 1 up to the longest cycle looked for, in runs of one colour: [{ from, to, colour }].
export function cycleRuns(tessel, steps) {
  const runs = [];
  for (let period = 1; period <= tessel.facts.periodLimit; period++) {
    const colour = tessel.chartColour({ outcome: "cycle", period, steps }, steps);
    const last = runs[runs.length - 1];
    if (last && CSS_RGB(last.colour) === CSS_RGB(colour)) last.to = period;
    else runs.push({ from: period, to: period, colour });
  }
  return runs;
}

// The Lyapunov exponents over which chaos changes colour, found by asking the colours.
function chaosSpan(tessel, steps) {
  const colourAt = (lyapunov) => CSS_RGB(tessel.chartColour({ outcome: "chaos", lyapunov, steps }, steps));
  const probes = Array.from({ length: 401 }, (_, k) => k / 200);
  const changes = probes.filter((l, k) => k > 0 && colourAt(l) !== colourAt(probes[k - 1]));
  return { low: changes[0] - 1 / 200, high: changes[changes.length - 1] };
}

function swatch(size, colourAt) {
  const canvas = document.createElement("canvas");
  [canvas.width, canvas.height] = [size.width, size.height];
  const context = canvas.getContext("2d");
  const image = context.createImageData(size.width, size.height);
  for (let row = 0; row < size.height; row++) {
    for (let column = 0; column < size.width; column++) {
      image.data.set([...colourAt(column / (size.width - 1), column, row), 255], 4 * (row * size.width + column));
    }
  }
  context.putImageData(image, 0, 0);
  canvas.setAttribute("aria-hidden", "true");
  return canvas;
}

function hz(rate, period) {
  return `${Math.round(rate / period)} Hz`;
}

// The legend's entries: { words, size, colourAt(share, column, row) }.
export function legendEntries(tessel, steps, rate) {
  const colour = (orbit) => tessel.chartColour({ steps, ...orbit }, steps);
  const plain = (rgb) => () => rgb;
  const chaos = chaosSpan(tessel, steps);
  const tones = cycleRuns(tessel, steps).map(({ from, to, colour: rgb }) => ({
    size: SWATCH,
    colourAt: plain(rgb),
    words: from === 1 && to === 1 ? "a constant: no tone"
      : from === to ? `period ${from}: ${hz(rate, from)}`
        : `period ${from}–${to}: ${hz(rate, from)} to ${hz(rate, to)}`,
  }));
  return [
    { size: BAR, words: `silent: stops at once … after ${steps} steps`,
      colourAt: (share) => colour({ outcome: "stops", steps: Math.round(Math.expm1(share * Math.log1p(steps))) }) },
    ...tones,
    { size: SWATCH, colourAt: plain(colour({ outcome: "quasi" })), words: "no cycle, not chaos (quasi-periodic)" },
    { size: BAR, words: "chaos, mild to strong: noise",
      colourAt: (share) => colour({ outcome: "chaos", lyapunov: chaos.low + share * (chaos.high - chaos.low) }) },
    { size: SWATCH, words: "hatched: a cycle only the floats' rounding makes",
      colourAt: (share, column, row) => tessel.hatched(colour({ outcome: "chaos", lyapunov: chaos.high / 2 }),
        column, row) },
  ];
}

// Fills the legend's list for a chart of `steps` a point at `rate`.
export function drawLegend(list, tessel, steps, rate) {
  list.replaceChildren(...legendEntries(tessel, steps, rate).map((entry) => {
    const item = document.createElement("li");
    const words = document.createElement("span");
    words.textContent = entry.words;
    item.append(swatch(entry.size, entry.colourAt), words);
    return item;
  }));
}

// How the explorer's sliders move: where along its travel a slider puts each
// value, the steps its keys take, and which part of the a and b ranges the
// module sounds in, judged by the module itself (its WebAssembly build,
// `tessel`, a loaded TesselMap). No DOM: the page, the tests and Node can use it.

// The coarse grid of the whole a-b plane judged when the page opens, each
// point for the fewest steps the analysis classifies: enough to tell a map
// that stops or settles on a constant from one that sounds, in about 70 ms.
const SOUNDING_COLUMNS = 60;
const SOUNDING_ROWS = 24;
// Of the a and b sliders' travel, the share spread evenly over the whole
// range; the rest goes where the map sounds.
const EVEN_SHARE = 0.2;
// A knob's arrow-key step is a power of ten near this share of its range; Shift's a tenth of it.
const STEP_SHARE = 1 / 200;
const FINE_DIVISOR = 10;
// The Gate clock steps in semitones, Shift in tenths of one, and keeps four digits.
const SEMITONE = 2 ** (1 / 12);
const GATE_DIGITS = 4;

// Whether an orbit makes a sound: it neither stops nor holds a constant.
function sounds(tessel, orbit) {
  return orbit.outcome !== "stops" && !tessel.isConstant(orbit);
}

// For a and b, the share of the coarse grid's sounding points in each column
// of their range (a across, b up), from x0 and y0 at their pins' defaults.
export function soundingShares(tessel, knobs) {
  const counts = { a: new Float64Array(SOUNDING_COLUMNS), b: new Float64Array(SOUNDING_ROWS) };
  for (let j = 0; j < SOUNDING_ROWS; j++) {
    const b = tessel.pointVolts(knobs.b.low, knobs.b.high, SOUNDING_ROWS, j);
    const row = tessel.chartRow({ lo: knobs.a.low, hi: knobs.a.high, fixed: b, width: SOUNDING_COLUMNS,
      steps: tessel.facts.steps.least });
    row.forEach((orbit, i) => {
      if (!sounds(tessel, orbit)) return;
      counts.a[i] += 1;
      counts.b[j] += 1;
    });
  }
  const shares = (column) => {
    const total = column.reduce((sum, count) => sum + count, 0);
    return Array.from(column, (count) => (total > 0 ? count / total : 0));
  };
  return { a: shares(counts.a), b: shares(counts.b) };
}

/**
 * A scale: positionOf(value) and valueAt(position), position 0 to 1 along the travel; a scale that gives its
 * travel to where the map sounds also tells where each column starts and ends, and its sounding share.
 * @typedef {{positionOf: (value: number) => number, valueAt: (position: number) => number,
 *   columns?: {from: number, to: number, share: number}[]}} Scale
 */

/** @param {number} low @param {number} high @returns {Scale} */
export function linearScale(low, high) {
  return {
    positionOf: (value) => (value - low) / (high - low),
    valueAt: (position) => low + position * (high - low),
  };
}

export function logScale(low, high) {
  const octaves = Math.log2(high / low);
  return {
    positionOf: (value) => Math.log2(value / low) / octaves,
    valueAt: (position) => low * 2 ** (position * octaves),
  };
}

// Equal columns of [low, high], each given the even share's part plus its
// sounding share of the rest; straight within a column.
export function soundingScale(low, high, shares) {
  const columns = shares.length;
  const edges = [0];
  for (const share of shares) edges.push(edges[edges.length - 1] + EVEN_SHARE / columns + (1 - EVEN_SHARE) * share);
  const total = edges[columns];
  const travel = edges.map((edge) => edge / total);
  const width = (high - low) / columns;
  const clamp = (k) => Math.min(columns - 1, Math.max(0, k));
  return {
    positionOf(value) {
      const k = clamp(Math.floor((value - low) / width));
      const within = (value - (low + k * width)) / width;
      return travel[k] + within * (travel[k + 1] - travel[k]);
    },
    valueAt(position) {
      let k = 0;
      while (k < columns - 1 && travel[k + 1] <= position) k++;
      const span = travel[k + 1] - travel[k];
      return low + (k + (span > 0 ? (position - travel[k]) / span : 0)) * width;
    },
    // Where along the travel each column starts and ends, and its sounding share: for painting the track.
    columns: shares.map((share, k) => ({ from: travel[k], to: travel[k + 1], share })),
  };
}

// A volts knob's steps: the arrow keys' and Shift's, in volts.
export function voltsSteps(knob) {
  const usual = 10 ** Math.round(Math.log10((knob.high - knob.low) * STEP_SHARE));
  return { usual, fine: usual / FINE_DIVISOR };
}

// A value on its step's grid, in the step's decimals.
export function onStep(value, step) {
  return Number((Math.round(value / step) * step).toFixed(decimalsOf(step)));
}

function decimalsOf(step) {
  return Math.max(0, -Math.floor(Math.log10(step) + 1e-9));
}

// The value `steps` steps of `step` on from `value`: onto the next multiple of
// the step in that direction, then the steps that remain; in the step's
// decimals, so 1.4 + 0.001 is 1.401.
export function stepVolts(value, step, steps) {
  const units = value / step;
  const nearest = Math.round(units);
  const onGrid = Math.abs(units - nearest) < 1e-6;
  const landed = steps > 0 ? (onGrid ? nearest : Math.floor(units)) + steps
    : (onGrid ? nearest : Math.ceil(units)) + steps;
  return Number((landed * step).toFixed(decimalsOf(step)));
}

// The Gate clock's steps, as factors of its rate.
export const GATE_STEPS = Object.freeze({ usual: SEMITONE, fine: SEMITONE ** (1 / FINE_DIVISOR) });

// A Gate clock as the page keeps it: four significant digits.
export function gateHzRounded(hz) {
  return Number(hz.toPrecision(GATE_DIGITS));
}

export function stepGateHz(hz, factor, steps) {
  return gateHzRounded(hz * factor ** steps);
}

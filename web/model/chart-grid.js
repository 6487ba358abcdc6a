// The chart's grid of points and how a view of it zooms: the passes that
// compute it coarse first, and the ranges a zoom may reach before neighbouring
// points would share a float. No DOM.

/** @typedef {import("../engine/tessel.js").TesselMap} TesselMap */
/** @typedef {{acrossLow: number, acrossHigh: number, upLow: number, upHigh: number}} View */
/** @typedef {{i: number, j: number}} GridPoint */

export const CHART_WIDTH = 600;
export const CHART_HEIGHT = 400;
export const CHART_POINTS = CHART_WIDTH * CHART_HEIGHT;
// Passes over the grid: every 8th point each way, then the points between.
export const STRIDES = [8, 4, 2, 1];

/**
 * The points of a pass, in rows from the bottom: those on its stride not already on a coarser one.
 * @param {number} stride
 */
function passPoints(stride) {
  const points = [];
  for (let j = 0; j < CHART_HEIGHT; j += stride) {
    for (let i = 0; i < CHART_WIDTH; i += stride) {
      const coarser = stride < STRIDES[0] && i % (2 * stride) === 0 && j % (2 * stride) === 0;
      if (!coarser) points.push(j * CHART_WIDTH + i);
    }
  }
  return points;
}
export const PASSES = STRIDES.map((stride) => ({ stride, points: passPoints(stride) }));

/**
 * Whether `count` points across [low, high] each get a float of their own.
 * @param {TesselMap} tessel @param {number} low @param {number} high @param {number} count
 */
function distinctFloats(tessel, low, high, count) {
  let previous = tessel.signalOf(tessel.pointVolts(low, high, count, 0));
  for (let i = 1; i < count; i++) {
    const next = tessel.signalOf(tessel.pointVolts(low, high, count, i));
    if (next === previous) return false;
    previous = next;
  }
  return true;
}

/**
 * The range around `centre` no narrower than `span` and wide enough for distinct floats.
 * @param {TesselMap} tessel @param {number} centre @param {number} span @param {number} count
 * @param {{low: number, high: number}} limits
 */
function resolvable(tessel, centre, span, count, limits) {
  // A rectangle one point wide has no span; start from the doubles' own resolution there.
  if (!(span > 0)) span = Number.EPSILON * Math.max(1, Math.abs(centre));
  let low = centre - span / 2;
  let high = centre + span / 2;
  let widened = false;
  while (!distinctFloats(tessel, low, high, count) && high - low < limits.high - limits.low) {
    span *= 2;
    low = centre - span / 2;
    high = centre + span / 2;
    widened = true;
  }
  if (low < limits.low) [low, high] = [limits.low, Math.min(limits.high, limits.low + span)];
  if (high > limits.high) [low, high] = [Math.max(limits.low, limits.high - span), limits.high];
  return { low, high, widened };
}

/**
 * The view of the points' rectangle within `view`, widened where the floats would run out, and the names
 * of the axes that were ("a", "b").
 * @param {TesselMap} tessel @param {View} view @param {GridPoint} from @param {GridPoint} to
 * @param {View} whole the knobs' whole ranges
 * @returns {{view: View, widened: string[]}}
 */
export function zoomedView(tessel, view, from, to, whole) {
  /** @param {number} i */
  const aAt = (i) => view.acrossLow + (view.acrossHigh - view.acrossLow) * (i + 0.5) / CHART_WIDTH;
  /** @param {number} j */
  const bAt = (j) => view.upLow + (view.upHigh - view.upLow) * (j + 0.5) / CHART_HEIGHT;
  const [acrossLow, acrossHigh] = [aAt(Math.min(from.i, to.i)), aAt(Math.max(from.i, to.i))];
  const [upLow, upHigh] = [bAt(Math.min(from.j, to.j)), bAt(Math.max(from.j, to.j))];
  const a = resolvable(tessel, (acrossLow + acrossHigh) / 2, acrossHigh - acrossLow, CHART_WIDTH, { low: whole.acrossLow, high: whole.acrossHigh });
  const b = resolvable(tessel, (upLow + upHigh) / 2, upHigh - upLow, CHART_HEIGHT,
    { low: whole.upLow, high: whole.upHigh });
  return {
    view: { acrossLow: a.low, acrossHigh: a.high, upLow: b.low, upHigh: b.high },
    widened: [a.widened ? "a" : "", b.widened ? "b" : ""].filter(Boolean),
  };
}

/**
 * The rectangle that zooms in twice over, keeping the point (i, j) where it is on the chart.
 * @param {GridPoint} point @returns {[GridPoint, GridPoint]}
 */
export function halvedAround({ i, j }) {
  const last = { i: CHART_WIDTH - 1, j: CHART_HEIGHT - 1 };
  return [{ i: i / 2, j: j / 2 }, { i: (i + last.i) / 2, j: (j + last.j) / 2 }];
}

/** @param {View} p @param {View} q */
export function sameView(p, q) {
  return p.acrossLow === q.acrossLow && p.acrossHigh === q.acrossHigh && p.upLow === q.upLow && p.upHigh === q.upHigh;
}

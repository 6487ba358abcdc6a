// The engine's bundle runs first in the page, the chart worker and the
// worklet, and leaves its exports here.
declare const TesselEngine: typeof import("./tessel.js");

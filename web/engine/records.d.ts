// The records the .wasm's wrapper hands out.

/** What the page takes from the C++ rather than copying it. */
export interface Facts {
  voltsPerUnit: number;
  rate: { least: number, most: number, usual: number };
  block: { least: number, most: number, usual: number };
  steps: { least: number, most: number, chart: number };
  chartSide: { least: number, most: number };
  /** A Gate clock the hosts accept is above `above` Hz and at most the rate over `leastPeriod`; `usual` unless asked. */
  gateHz: { above: number, leastPeriod: number, usual: number };
  /** The rates hosts commonly run at, slowest first. */
  commonRates: number[];
  /** As the module declares them, in pin order. */
  pins: Pin[];
  /** The outcomes' names, in code order. */
  outcomes: string[];
  /** The longest cycle the analysis looks for (longer is quasi or chaos). */
  periodLimit: number;
  verdict: { size: number, fields: { name: string, offset: number, type: string }[] };
  pictureColours: PictureColours;
}

/**
 * A pin as the module declares it; default and range are the module's texts or null (an audio pin's range
 * "upper,lower,upper,lower" in volts, a list pin's its items).
 */
export interface Pin {
  name: string;
  direction: "input" | "output" | "setting";
  type: "audio" | "list";
  default: string | null;
  range: string | null;
}

/**
 * The chart's judgement of one point, as a row of tessel-render --chart-data. a, b, x0, y0: the volts that
 * read back to the inputs' floats, as the CSV prints them; period: of the cycle or rounding cycle, else 0;
 * steps: for a stop the iterates that stood before the trip, else all; lyapunov: quasi and chaos, else 0;
 * settle: the iterate from which the cycle sounds, -1 where the CSV leaves it empty; rounding: the floats
 * repeat exactly on no attracting cycle of the map.
 */
export interface Orbit {
  a: number; b: number; x0: number; y0: number;
  outcome: string; period: number; steps: number; lyapunov: number; settle: number; rounding: boolean;
  /** A cycle of two or more steps: the harmonic whose line is loudest (1: the fundamental); else 0. */
  loudest: number;
  /** How far the fundamental lies under the loudest line, in dB. */
  fundamentalBelowDb: number;
}

/** An orbit as the words and colours take it: any field left out reads as none. */
export interface OrbitFields {
  outcome: string; period?: number; steps?: number; settle?: number; lyapunov?: number; rounding?: boolean;
  loudest?: number; fundamentalBelowDb?: number;
}

export type Rgb = [number, number, number];

/** The attractor's extent with its margin, in the signal scale. */
export interface View { xLow: number; xHigh: number; yLow: number; yHigh: number; }

/**
 * An entry of the chart's legend: a group's heading on its first entry, a bar's words at its left end, the
 * words after the swatch (lines apart at "\n"), the swatch's kind and its colour a share of the way across.
 */
export interface LegendEntry {
  heading: string; before: string; words: string; swatch: "plain" | "stops" | "chaos" | "hatched";
  colourAt: (share: number) => Rgb;
}

/** A wave's fields as its text gives them, or another shape's name alone. */
export interface SignalFields { shape: string; centre?: number; depth?: number; hz?: number; phase?: number; }

/** The colours of the take's pictures, 0xRRGGBB. */
export interface PictureColours {
  background: number; frame: number; dimText: number; zeroLine: number; xTrace: number; yTrace: number;
}

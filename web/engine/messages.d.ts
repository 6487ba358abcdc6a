// What the page sends the audio worklet: the settings it plays, as the
// module takes them.
export interface WorkletSettings {
  a: number;
  b: number;
  x0: number;
  y0: number;
  /** The sample rate the worklet runs at, in Hz. */
  rate: number;
  mode: string;
  /** The Gate clock the module gets, in Hz; 0 holds Gate at 0 V. */
  gateHz: number;
  normalize: boolean;
  /** Each input's signal text in tessel-render's grammar, or null for its volts. */
  signals?: Record<string, string | null>;
  /** The Reset clock in Hz; 0 or absent: none. */
  resetHz?: number;
}

// What the audio worklet records while the page asks: every pin's samples,
// the inputs as the module read them and the outputs x and y, in chunks the
// page lent it (so that the audio thread allocates no buffer), each chunk
// handed back whole through the port and given back empty by the page.
//
// A chunk is one Float32Array of PLANES planes of `frames` samples each, pin
// by pin in the module's order: Gate, Reset, x0, y0, a, b, x, y.

// Every pin a recording carries: the six inputs and the two outputs.
export const PLANES = 8;

export class Recorder {
  /**
   * @param {{postMessage(message: unknown, transfer: ArrayBuffer[]): void}} port
   * @param {ArrayBuffer[]} buffers the page's empty chunks @param {number} frames a chunk's frames
   */
  constructor(port, buffers, frames) {
    this.port = port;
    this.pool = buffers;
    this.frames = frames;
    /** @type {{planes: Float32Array[], at: number}} where renderInto writes the next samples */
    this.fed = { planes: [], at: 0 };
    /** @type {ArrayBuffer | null} */
    this.buffer = null;
    this.take();
  }

  /** A chunk given back by the page. @param {ArrayBuffer} buffer */
  lend(buffer) {
    this.pool.push(buffer);
  }

  // The page lends more chunks than the port holds at once; should it fall behind, a new one.
  take() {
    const buffer = this.pool.pop() || new ArrayBuffer(PLANES * this.frames * Float32Array.BYTES_PER_ELEMENT);
    const planes = [];
    for (let pin = 0; pin < PLANES; ++pin) planes.push(new Float32Array(buffer, pin * this.frames * 4, this.frames));
    this.buffer = buffer;
    this.fed.planes = planes;
    this.fed.at = 0;
  }

  /** How many frames fit before the chunk is full. */
  get room() {
    return this.frames - this.fed.at;
  }

  /** `count` frames have been written; a full chunk goes to the page. @param {number} count */
  wrote(count) {
    this.fed.at += count;
    if (this.fed.at === this.frames) {
      this.send(null);
      this.take();
    }
  }

  /**
   * The chunk so far goes to the page, with why the recording ends, if it does.
   * @param {string | null} ended "stop" or "event"
   */
  send(ended) {
    const buffer = /** @type {ArrayBuffer} */ (this.buffer);
    this.port.postMessage({ recorded: { buffer, frames: this.fed.at, chunkFrames: this.frames, ended } }, [buffer]);
    this.buffer = null;
  }
}

// The .wasm's calls as JavaScript sees them, made by scripts/make-wasm-calls from their table,
// wasm/calls.def: change the table and run the script, never this file. Every argument and result is a
// number; an address (a C pointer) is an offset into `memory`, 0 for null.

/** The exports of tessel-map.wasm. */
export interface WasmExports {
  /** The instance's memory, where every address points. */
  memory: WebAssembly.Memory;
  /** Runs the C++ constructors: called once, before any other call. */
  _initialize(): void;

  // --- the module's facts ----------------------------------------------------------------------------------
  /**
   * The facts the page takes rather than copies, as JSON: the volt scale, the limits, the Gate clock's rule, the
   * common rates, the outcomes' names, the longest period, the verdict record's layout, the pictures' colours.
   * C: const char* tessel_facts()
   */
  tessel_facts(): number;
  /**
   * Pin `index` as the module declares it, as JSON: name, direction, type, default and range; null past the last
   * pin.
   * C: const char* tessel_pin(int32_t index)
   */
  tessel_pin(index: number): number;
  /**
   * A pin's volts in the signal scale the module sees (1.0 = 10 V), rounded once to float as a host converts a pin
   * text.
   * C: float tessel_signal_of(double volts)
   */
  tessel_signal_of(volts: number): number;
  /**
   * The shortest volts text that reads back to `signal` (host::voltsText).
   * C: const char* tessel_volts_text(float signal)
   */
  tessel_volts_text(signal: number): number;
  /**
   * Point i of `count` across [low, high], in volts: the chart's grid.
   * C: double tessel_point_volts(double low, double high, int32_t count, int32_t i)
   */
  tessel_point_volts(low: number, high: number, count: number, i: number): number;

  // --- an instance, hosted as a host holds it --------------------------------------------------------------
  /**
   * A new opened instance, or null (a rate or block outside the facts' limits, or out of memory).
   * C: web::HostedMap* tessel_new(int32_t sampleRate, int32_t blockSize)
   */
  tessel_new(sampleRate: number, blockSize: number): number;
  /**
   * Closes the instance and releases it and its buffers.
   * C: void tessel_free(web::HostedMap* instance)
   */
  tessel_free(instance: number): void;
  /**
   * The constant inputs a, b, x0, y0 in the signal scale.
   * C: void tessel_set_inputs(web::HostedMap* instance, float a, float b, float x0, float y0)
   */
  tessel_set_inputs(instance: number, a: number, b: number, x0: number, y0: number): void;
  /**
   * 0: Continuous, anything else: Gated.
   * C: void tessel_set_mode(web::HostedMap* instance, int32_t gated)
   */
  tessel_set_mode(instance: number, gated: number): void;
  /**
   * The Gate clock, 0 Hz for none.
   * C: void tessel_set_gate_hz(web::HostedMap* instance, double hz)
   */
  tessel_set_gate_hz(instance: number, hz: number): void;
  /**
   * The Normalize switch, 0 for off.
   * C: void tessel_set_normalize(web::HostedMap* instance, int32_t on)
   */
  tessel_set_normalize(instance: number, on: number): void;
  /**
   * A Reset pulse at the next sample.
   * C: void tessel_reset(web::HostedMap* instance)
   */
  tessel_reset(instance: number): void;
  /**
   * Renders the next min(count, block size) samples and returns how many; they are at tessel_x and tessel_y until
   * the next call.
   * C: int32_t tessel_render(web::HostedMap* instance, int32_t count)
   */
  tessel_render(instance: number, count: number): number;
  /**
   * The x output of the last block rendered.
   * C: const float* tessel_x(web::HostedMap* instance)
   */
  tessel_x(instance: number): number;
  /**
   * The y output of the last block rendered.
   * C: const float* tessel_y(web::HostedMap* instance)
   */
  tessel_y(instance: number): number;
  /**
   * The most samples one tessel_render renders.
   * C: int32_t tessel_block_size(web::HostedMap* instance)
   */
  tessel_block_size(instance: number): number;
  /**
   * The sample at which the map stopped itself, exact in a double, or -1.
   * C: double tessel_stopped_at(web::HostedMap* instance)
   */
  tessel_stopped_at(instance: number): number;
  /**
   * 1 once the module asked to sleep, else 0.
   * C: int32_t tessel_asleep(web::HostedMap* instance)
   */
  tessel_asleep(instance: number): number;

  // --- a recording of what plays ---------------------------------------------------------------------------
  /**
   * What input `pin` was fed in the last block rendered (as many samples as it rendered), until the next render;
   * null for no input pin.
   * C: const float* tessel_input_samples(web::HostedMap* instance, int32_t pin)
   */
  tessel_input_samples(instance: number, pin: number): number;
  /**
   * The events the module has heard so far (pin statuses and setting changes), exact in a double.
   * C: double tessel_events_sent(web::HostedMap* instance)
   */
  tessel_events_sent(instance: number): number;
  /**
   * The longest take tessel-render renders: a recording stops there.
   * C: double tessel_most_take_seconds()
   */
  tessel_most_take_seconds(): number;

  // --- inputs that move ------------------------------------------------------------------------------------
  /**
   * Where JavaScript writes a signal text, NUL-terminated, for the calls of this group that read one.
   * C: char* tessel_signal_text()
   */
  tessel_signal_text(): number;
  /**
   * The room at tessel_signal_text, the NUL included.
   * C: int32_t tessel_signal_text_size()
   */
  tessel_signal_text_size(): number;
  /**
   * Why the signal text is refused at `sampleRate` over a take of `takeSamples`, or null.
   * C: const char* tessel_signal_error(int32_t sampleRate, double takeSamples)
   */
  tessel_signal_error(sampleRate: number, takeSamples: number): number;
  /**
   * `count` samples of the signal text (signal scale), sample `every` * i for i from 0; null for a refused text or
   * a count below 1.
   * C: const float* tessel_signal_samples(int32_t sampleRate, double takeSamples, double every, int32_t count)
   */
  tessel_signal_samples(sampleRate: number, takeSamples: number, every: number, count: number): number;
  /**
   * The signal text's fields as JSON: its shape's name and, for a wave, centre, depth, hz and phase as written;
   * null for a refused text.
   * C: const char* tessel_signal_fields(int32_t sampleRate, double takeSamples)
   */
  tessel_signal_fields(sampleRate: number, takeSamples: number): number;
  /**
   * Patches input pin `pin` (x0, y0, a or b) with the signal text over a take of `takeSamples` (0: without end), or
   * gives it back its constant for an empty text; null, or why the text is refused.
   * C: const char* tessel_set_signal(web::HostedMap* instance, int32_t pin, double takeSamples)
   */
  tessel_set_signal(instance: number, pin: number, takeSamples: number): number;
  /**
   * Reset pulsed at each rising edge of a clock of `hz`, beside the button; 0 stops it.
   * C: void tessel_set_reset_hz(web::HostedMap* instance, double hz)
   */
  tessel_set_reset_hz(instance: number, hz: number): void;
  /**
   * Events that restarted the map at x0, y0 because an input streamed.
   * C: double tessel_restarts(web::HostedMap* instance)
   */
  tessel_restarts(instance: number): number;
  /**
   * 1 where input pin `pin` streams, else 0.
   * C: int32_t tessel_streams(web::HostedMap* instance, int32_t pin)
   */
  tessel_streams(instance: number, pin: number): number;

  // --- the sound along a take ------------------------------------------------------------------------------
  /**
   * From now on the next `samples` rendered are judged window by window.
   * C: void tessel_judge_windows(web::HostedMap* instance, double samples)
   */
  tessel_judge_windows(instance: number, samples: number): void;
  /**
   * The sound along the take judged so far in tessel-render's words (verdict::describePath, or where `inShort` is
   * not 0 verdict::summarizePath), its Reset clock's restarts named, up to where the map stopped itself; null where
   * no windows are judged.
   * C: const char* tessel_path_words(web::HostedMap* instance, double sampleRate, int32_t inShort)
   */
  tessel_path_words(instance: number, sampleRate: number, inShort: number): number;

  // --- the chart's judgement of points ---------------------------------------------------------------------
  /**
   * A judge of points, or null (a rate out of range, out of memory): by the map's step once a probe has shown the
   * linked module makes its states, else by a hosted instance.
   * C: web::PointJudge* tessel_judge_new(int32_t sampleRate)
   */
  tessel_judge_new(sampleRate: number): number;
  /**
   * Releases the judge.
   * C: void tessel_judge_free(web::PointJudge* judge)
   */
  tessel_judge_free(judge: number): void;
  /**
   * The orbit of `steps` iterates (a whole number, 256 to 1000000) from x0, y0 at a, b, all in the signal scale;
   * the verdict record stays until this judge's next point; null for a bad step count or handle.
   * C: const web::PointVerdict* tessel_judge_point(web::PointJudge* judge, float a, float b, float x0, float y0, double steps)
   */
  tessel_judge_point(judge: number, a: number, b: number, x0: number, y0: number, steps: number): number;
  /**
   * Room for `count` points (1 to a chart's widest row) for tessel_judge_points: a, b, x0, y0 per point as float32,
   * signal scale, point after point; null for a bad count or handle.
   * C: float* tessel_judge_batch(web::PointJudge* judge, int32_t count)
   */
  tessel_judge_batch(judge: number, count: number): number;
  /**
   * The `count` points just written at tessel_judge_batch's address, judged several at once: `count` verdict
   * records one after another, in the points' order, as tessel_judge_point's but without a cycle's lines (loudest
   * and fundamentalBelowDb 0, which a chart's colours do not need), valid until this judge's next call; null for a
   * bad count, step count or handle.
   * C: const web::PointVerdict* tessel_judge_points(web::PointJudge* judge, int32_t count, double steps)
   */
  tessel_judge_points(judge: number, count: number, steps: number): number;

  // --- what a verdict says and shows -----------------------------------------------------------------------
  /**
   * A verdict's words, its cycles sounding at `stepsPerSecond` steps a second, from a Gate clock where `clocked` is
   * not 0, a cycle's loudest line the harmonic `loudest` (0: not known) with the fundamental `fundamentalBelowDb`
   * under it; null for an unknown outcome.
   * C: const char* tessel_describe(int32_t outcome, int32_t period, double steps, double settle, double lyapunov, int32_t rounding, double stepsPerSecond, int32_t clocked, int32_t loudest, double fundamentalBelowDb)
   */
  tessel_describe(outcome: number, period: number, steps: number, settle: number, lyapunov: number, rounding: number, stepsPerSecond: number, clocked: number, loudest: number, fundamentalBelowDb: number): number;
  /**
   * The same verdict in short, as a musician reads it first; a stop restarted by a Reset clock of `resetHz` (0:
   * none) said so.
   * C: const char* tessel_summarize(int32_t outcome, int32_t period, double steps, double settle, double lyapunov, int32_t rounding, double stepsPerSecond, int32_t clocked, int32_t loudest, double fundamentalBelowDb, double resetHz)
   */
  tessel_summarize(outcome: number, period: number, steps: number, settle: number, lyapunov: number, rounding: number, stepsPerSecond: number, clocked: number, loudest: number, fundamentalBelowDb: number, resetHz: number): number;
  /**
   * Why a gated take whose a or b moves is judged at the LFOs' centres, exactly or, where `inShort` is not 0, in
   * short (verdict::unjudgedPath).
   * C: const char* tessel_unjudged_path(int32_t inShort)
   */
  tessel_unjudged_path(inShort: number): number;
  /**
   * 1 where an orbit holds one level, else 0.
   * C: int32_t tessel_is_constant(int32_t outcome, int32_t period)
   */
  tessel_is_constant(outcome: number, period: number): number;
  /**
   * A verdict's colour (0xRRGGBB) on a chart of `chartSteps` steps a point; 0 for an unknown outcome.
   * C: uint32_t tessel_chart_colour(int32_t outcome, int32_t period, double steps, double lyapunov, double chartSteps)
   */
  tessel_chart_colour(outcome: number, period: number, steps: number, lyapunov: number, chartSteps: number): number;
  /**
   * A rounding cycle's pixel of `colour` (0xRRGGBB) at `column`, `row` of the chart.
   * C: uint32_t tessel_hatched(uint32_t colour, int32_t column, int32_t row)
   */
  tessel_hatched(colour: number, column: number, row: number): number;
  /**
   * The inferno colour map (0xRRGGBB), t from 0 (dark) to 1 (bright).
   * C: uint32_t tessel_inferno(double t)
   */
  tessel_inferno(t: number): number;

  // --- the words explained ---------------------------------------------------------------------------------
  /**
   * Glossary entry `index` as JSON (its id, term, the phrases it explains and the explanation); null past the last.
   * C: const char* tessel_glossary_entry(int32_t index)
   */
  tessel_glossary_entry(index: number): number;

  // --- the pictures ----------------------------------------------------------------------------------------
  /**
   * The ticks over [low, high], about `wanted` of them, as JSON: [{value, text}].
   * C: const char* tessel_ticks(double low, double high, int32_t wanted)
   */
  tessel_ticks(low: number, high: number, wanted: number): number;
  /**
   * Entry `index` of the legend of a chart of `steps` a point, its tones at `sampleRate`, as JSON: heading, before,
   * words, swatch; null past the last.
   * C: const char* tessel_legend_entry(double steps, int32_t sampleRate, int32_t index)
   */
  tessel_legend_entry(steps: number, sampleRate: number, index: number): number;
  /**
   * That entry's swatch colour (0xRRGGBB) `share` of the way across it, before any hatching.
   * C: uint32_t tessel_legend_colour(double steps, int32_t sampleRate, int32_t index, double share)
   */
  tessel_legend_colour(steps: number, sampleRate: number, index: number, share: number): number;
  /**
   * Room for a take of `count` samples of x, then as many of y, for the calls below; null below 1. Valid until its
   * next call.
   * C: float* tessel_take_samples(int32_t count)
   */
  tessel_take_samples(count: number): number;
  /**
   * The attractor of the take written, `width` by `height` pixels, as RGBA bytes from the top row.
   * C: const uint32_t* tessel_attractor(int32_t width, int32_t height)
   */
  tessel_attractor(width: number, height: number): number;
  /**
   * The last attractor's view (signal scale: x low, x high, y low, y high) and how many pixels it visited.
   * C: const double* tessel_attractor_view()
   */
  tessel_attractor_view(): number;
  /**
   * The samples a take's traces show of its `samples`: 5 ms, and at a Gate clock of `gateHz` (0: Continuous) at
   * least 16 of its periods.
   * C: double tessel_trace_samples(double gateHz, int32_t sampleRate, double samples)
   */
  tessel_trace_samples(gateHz: number, sampleRate: number, samples: number): number;
  /**
   * Where `traced` samples of traces of a take of `samples` start: at the sample its cycle settled from (`settle`,
   * -1: none), earlier where the take ends first.
   * C: double tessel_trace_start(double settle, double traced, double samples)
   */
  tessel_trace_start(settle: number, traced: number, samples: number): number;
  /**
   * What those traces show, for their heading: 'the first 221 samples', '221 samples from sample 383, where the
   * cycle has settled'.
   * C: const char* tessel_trace_words(double start, double count, double settle)
   */
  tessel_trace_words(start: number, count: number, settle: number): number;
  /**
   * The staircase of x (0) or y (1) over `count` of the take's samples from `start`, `columns` wide and `height`
   * tall, showing [low, high]: each column's top row and rows covered (0: none), then the row of 0 V or -1.
   * C: const int32_t* tessel_trace(int32_t output, double start, int32_t count, int32_t columns, int32_t height, double low, double high)
   */
  tessel_trace(output: number, start: number, count: number, columns: number, height: number, low: number, high: number): number;
}

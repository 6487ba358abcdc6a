// The LFO beside each of a, b, x0 and y0 (shape, rate, depth; the knob's
// value is its centre) and the Reset clock, made and kept in step with the
// settings here; what they change goes to `onChange` as settings. The
// explorer hands it lfo-text.js's module rather than each importing it, which
// would put that module's text in the page once more.

const element = (id) => document.getElementById(id);

function made(tag, attributes = {}, text = "") {
  const node = document.createElement(tag);
  for (const [name, value] of Object.entries(attributes)) node.setAttribute(name, value);
  if (text) node.textContent = text;
  return node;
}

function labelled(forId, text) {
  return made("label", { for: forId }, text);
}

// A text field for a number, as the knobs' are: the browser's own number field would drop a decimal comma.
function numberField(id, label) {
  return made("input", { id, type: "text", inputmode: "decimal", size: 5, "aria-label": label });
}

export class LfoControls {
  // lfoText: lfo-text.js's exports; onChange(values): the settings an LFO's or the Reset clock's controls now give.
  constructor(tessel, lfoText, onChange) {
    this.tessel = tessel;
    this.lfoText = lfoText;
    this.onChange = onChange;
    for (const name of lfoText.LFO_INPUTS) this.makeLfo(name);
    this.makeResetClock();
    // The equivalent command line under the patch, and where a restart is told.
    element("patch-text").closest(".patch").after(made("p", { id: "command-text", class: "command-text" }));
    element("verdict").after(made("p", { id: "restart-notice", class: "restart-notice", role: "status" }));
  }

  makeLfo(name) {
    const { LFO_HZ, LFO_SHAPES, mostDepth } = this.lfoText;
    const knob = document.querySelector(`.knob[data-name="${name}"]`);
    const row = made("div", { class: "lfo", "data-name": name });
    const on = made("input", { id: `${name}-lfo`, type: "checkbox" });
    const shape = made("select", { id: `${name}-lfo-shape`, "aria-label": `${name} LFO shape` });
    for (const item of LFO_SHAPES) shape.append(made("option", { value: item }, item));
    const hz = numberField(`${name}-lfo-hz`, `${name} LFO rate, ${LFO_HZ.low} to ${LFO_HZ.high} Hz`);
    const depth = numberField(`${name}-lfo-depth`, `${name} LFO depth, 0 to ${mostDepth(this.tessel, name)} V`);
    const onLabel = labelled(on.id, `LFO on ${name}`);
    onLabel.prepend(on);
    row.append(onLabel, shape, hz, " Hz, ± ", depth, " V");
    knob.after(row);
    const read = () => this.readLfo(name);
    for (const control of [on, shape]) control.addEventListener("change", read);
    for (const control of [hz, depth]) control.addEventListener("change", read);
  }

  makeResetClock() {
    const { RESET_HZ } = this.lfoText;
    const row = made("div", { class: "lfo", "data-name": "reset" });
    const on = made("input", { id: "reset-clock", type: "checkbox" });
    const hz = numberField("reset-hz", `Reset clock rate, ${RESET_HZ.low} to ${RESET_HZ.high} Hz`);
    const onLabel = labelled(on.id, "Reset clock");
    onLabel.prepend(on);
    row.append(onLabel, hz, " Hz");
    element("gate-slider").closest(".knob").after(row);
    const read = () => this.onChange({ resetHz: on.checked ? this.within(hz, RESET_HZ) : 0 });
    on.addEventListener("change", read);
    hz.addEventListener("change", read);
  }

  // A field's value held to its range; its initial value where it holds no number.
  within(field, range) {
    return this.lfoText.lfoNumber(field.value, range);
  }

  readLfo(name) {
    const { LFO_HZ, mostDepth } = this.lfoText;
    const on = element(`${name}-lfo`).checked;
    const depthRange = { low: 0, high: mostDepth(this.tessel, name), initial: 0.1 * mostDepth(this.tessel, name) };
    const lfo = on ? {
      shape: element(`${name}-lfo-shape`).value,
      hz: this.within(element(`${name}-lfo-hz`), LFO_HZ),
      depth: this.within(element(`${name}-lfo-depth`), depthRange),
    } : null;
    this.onChange({ lfos: { ...this.lfos, [name]: lfo } });
  }

  // Shows the settings' LFOs and Reset clock; a control that is off keeps its last values.
  show(settings) {
    const { LFO_HZ, LFO_INPUTS, RESET_HZ, mostDepth } = this.lfoText;
    this.lfos = settings.lfos;
    for (const name of LFO_INPUTS) {
      const lfo = settings.lfos[name];
      element(`${name}-lfo`).checked = lfo !== null;
      if (lfo) {
        element(`${name}-lfo-shape`).value = lfo.shape;
        element(`${name}-lfo-hz`).value = String(lfo.hz);
        element(`${name}-lfo-depth`).value = String(lfo.depth);
      } else if (element(`${name}-lfo-hz`).value === "") {
        element(`${name}-lfo-hz`).value = String(LFO_HZ.initial);
        element(`${name}-lfo-depth`).value = String(Number((0.1 * mostDepth(this.tessel, name)).toPrecision(3)));
      }
    }
    element("reset-clock").checked = settings.resetHz > 0;
    element("reset-hz").value = String(settings.resetHz > 0 ? settings.resetHz : element("reset-hz").value ||
      RESET_HZ.initial);
  }
}

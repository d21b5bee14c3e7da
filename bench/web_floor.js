// The floor under the page's first result, for bench/web_bench.py: a page of one paragraph
// that does only what any page showing the engine's first figures must do. The engine is
// preloaded and compiled as it downloads (the page's head starts it), instantiated, the window
// opened and searched as the page opens it ("lock 0 0", then "Best Performance"), the speedup
// written into the paragraph, and the time taken at the next frame.
import createEngine from './engine.js';

const timings = { moduleStart: performance.now() };
window.cpuWidget = { ready: false, timings };
const engine = await createEngine({
  instantiateWasm(imports, receive) {
    self.engineWasm.then((module) => WebAssembly.instantiate(module, imports))
      .then((instance) => receive(instance));
    return {};
  },
});
timings.engineReady = performance.now();
const act = engine.cwrap('web_act', 'string', ['number', 'number']);
const actOn = (line) => {
  const bytes = new TextEncoder().encode(line);
  const p = engine._malloc(bytes.length);
  engine.HEAPU8.set(bytes, p);
  try {
    return JSON.parse(act(p, bytes.length));
  } finally {
    engine._free(p);
  }
};
engine.cwrap('web_restart', null, [])();
actOn('lock 0 0');
const { state } = actOn('best');
timings.searched = performance.now();
document.getElementById('speedup').textContent = `Speedup ${state.fields.speedup}`;
requestAnimationFrame(() => {
  timings.figuresShown = performance.now();
  window.cpuWidget.firstResultMs = timings.figuresShown;
  window.cpuWidget.ready = true;
});

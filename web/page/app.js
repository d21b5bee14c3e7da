// The explorer's page: the window's controls driving the engine (engine.js, WebAssembly), the
// figures of what is on show, the design-space map, explain's table and a budget curve, model
// files, and links that reproduce a view. Every figure comes from the engine; nothing of the
// model is worked out here.
import createEngine from './engine.js';
import { startEngine } from './engine_guard.js';
import { drawMap, mapCellAt, resized } from './draw.js';
import { setupExercise, refreshBudget, redrawBudget, budgetCsv, curveSvg, budgetLinkValue,
  restoreBudget } from './exercise.js';
import { setupCompare, pinDesign, compareCsv, pinsLinkValue, restorePins } from './compare.js';
import { setupDownloads, mapSvg } from './downloads.js';
import { toolNumber, singleParams, checkedOperatingPoint, startHistory, recordView } from './history.js';
import { fillLegend, placeTip, edgesText, onScreen } from './map_view.js';
import { readLimit } from './limits.js';

const FIELDS = [
  ['speedup', 'Speedup', (v) => v.toFixed(4)],
  ['cores', 'Cores', (v) => String(v)],
  ['cache_mb', 'L2 cache', (v) => `${v} MB`],
  ['scale', 'Scale step', (v) => v.toFixed(1)],
  ['vdd_v', 'Supply voltage', (v) => `${v.toFixed(3)} V`],
  ['freq_ghz', 'Frequency', (v) => `${v.toFixed(3)} GHz`],
  ['area_mm2', 'Area', (v) => `${v.toFixed(2)} mm²`],
  ['power_w', 'Power', (v) => `${v.toFixed(2)} W`],
  ['bandwidth_gbps', 'Off-chip bandwidth', (v) => `${v.toFixed(2)} GB/s`],
  ['tsv_bandwidth_gbps', 'TSV bandwidth', (v) => `${v.toFixed(2)} GB/s`],
  ['feasible', 'Meets the limits', null],
];
const OPTION_PARAMS = ['workload', 'memory', 'transistor', 'core', 'node'];
const LIMIT_PARAMS = ['area', 'power', 'bw', 'tsv']; // spin buttons 2 to 5
const HOLD_PARAMS = ['cores', 'cache', 'scale', 'vdd', 'freq'];
const LOCK_PARAMS = ['cores', 'cache', 'vdd']; // the lock boxes, as a link names them

const $ = (id) => document.getElementById(id);
const page = {
  ready: false,
  log: [],          // every action sent to the engine, in order
  errors: [],       // messages shown
  firstResultMs: null,
  lastActionMs: null, // the latest action answered and the map redrawn
};
window.cpuWidget = page;
page.model = () => model;
page.flushLink = () => writeLink();
// For scripts and tests: the map's cells and best cell, and where the arrow keys start.
page.mapScaleTops = () => [...map.speedup];
page.mapBest = () => map.best;
page.setMapCursor = (cell) => { mapCursor = cell.slice(); };
page.drawMap = drawMap;

let call, model, state, map = null, mapCursor = null, analysisPending = 0, linkPending = 0;
// An option or limit changed since the latest search: what is on show is the configuration
// evaluated under them, not their best; a note offers "Best Performance".
let unsearched = false;

function message(text, keep = false) {
  const box = $('messages');
  if (!keep) box.textContent = '';
  if (!text) return;
  const line = document.createElement('p');
  line.textContent = text;
  box.append(line);
  page.errors.push(text);
}

// One action of the window (option, limit, lock, best, slider); the state it leaves.
function act(line) {
  page.log.push(line);
  const [kind, slot] = line.split(' ');
  const lockOf = { 0: 0, 1: 1, 4: 2, 5: 2 }; // a locked slider snaps back: nothing searched
  const answer = JSON.parse(call.act(line));
  if (answer.not_done) page.log.pop(); // the engine was restarted without it
  if (answer.state) state = answer.state; // an engine that refused keeps what is on show
  if (kind === 'option' || kind === 'limit') unsearched = true;
  if (kind === 'best' || (kind === 'slider' && state.locks[lockOf[slot]] !== 1)) unsearched = false;
  return answer.error;
}

function fillOptions() {
  for (let i = 0; i < 5; i++) {
    const box = $(`option-${i}`);
    box.textContent = '';
    model.items[i].forEach((item, k) => {
      const o = document.createElement('option');
      o.value = String(k);
      // An item the model leaves blank (the 90 nm node's is two spaces) shows its name.
      o.textContent = item.trim() === '' ? model.names[i][k] : item;
      box.append(o);
    });
  }
  $('model-source').textContent = model.source;
  $('model-pf').textContent = model.parallel_fraction;
  $('model-pf').dataset.value = model.parallel_fraction;
}

function render() {
  for (let i = 0; i < 5; i++) $(`option-${i}`).value = String(state.options[i]);
  // The parallel fraction the chosen workload's searches use: its own, or the model's.
  const fraction = model.workload_parallel_fractions[state.options[0]];
  $('model-pf').textContent = fraction;
  $('model-pf').dataset.value = fraction;
  for (const slot of [0, 1, 4, 5]) {
    const s = $(`slider-${slot}`);
    if (slot === 4) s.max = state.tops[4];
    s.value = state.sliders[slot];
  }
  for (let i = 0; i < 3; i++) $(`lock-${i}`).checked = state.locks[i] === 1;
  $('freq-note').hidden = state.locks[2] !== 1;
  for (let slot = 2; slot <= 5; slot++) {
    const input = $(`limit-${slot}`);
    if (document.activeElement !== input) input.value = state.limits[slot - 2];
    input.dataset.value = state.limits[slot - 2];
  }
  for (const [slot, text] of Object.entries(state.labels)) {
    const out = $(`label-${slot}`);
    if (!out) continue;
    out.dataset.value = text;
    if (out.textContent !== onScreen(text)) out.textContent = onScreen(text);
  }
  const speedup = Number(state.sliders[2]);
  $('speedup-meter').max = Number(state.tops[2]);
  $('speedup-meter').value = speedup;
  $('speedup-text').textContent = speedup.toFixed(2);
  const percent = Number(state.gauge);
  const gauge = $('gauge');
  gauge.setAttribute('aria-valuenow', String(percent));
  // As the window's gauge: values outside 0 to 100 saturate, and the bottom rows are lit up to
  // 20 less the dark ones, (int)(20 - percent / 5).
  const clamped = Number.isNaN(percent) || percent < 0 ? 0 : Math.min(percent, 100);
  gauge.style.setProperty('--lit', String(20 - Math.trunc(20 - clamped / 5)));
  $('gauge-text').textContent = `${percent.toFixed(1)} %`;
  for (const [field] of FIELDS) {
    const cell = document.querySelector(`#figures [data-field="${field}"]`);
    const value = state.fields[field];
    cell.dataset.value = value;
    const format = FIELDS.find((f) => f[0] === field)[2];
    if (value === '') cell.textContent = '–';
    else if (format === null) cell.textContent = value === 'true' ? 'yes' : 'no';
    else cell.textContent = format(Number(value));
  }
  showWhich();
  // The address follows at most a few times a second (a dragged slider sends many actions).
  clearTimeout(linkPending);
  linkPending = setTimeout(writeLink, 120);
}

// Which figure is which: the configuration on show, the best at the map's scale step, the
// best within the limits (from explain, filled in by analyse) and the gauge's 100 %.
function setFigure(id, value, text = value === null ? '–' : Number(value).toFixed(2)) {
  const out = $(id);
  out.dataset.value = value === null ? '' : String(value);
  out.textContent = text;
}

function showWhich() {
  setFigure('which-shown', state.fields.speedup === '' ? null : state.fields.speedup);
  setFigure('which-gauge', state.best,
    `${Number(state.gauge).toFixed(1)} % of ${Number(state.best).toFixed(2)}`);
  setFigure('which-limits', null, '…'); // explain's, once the analysis has run
  $('unsearched').hidden = !unsearched;
  const edges = unsearched ? '' : edgesText(state, model);
  $('map-edge').textContent = edges
    ? `The best configuration sits at the end of an axis of the design space (${edges}): ` +
      'the model offers nothing beyond it, so a wider axis might hold a better one.'
    : '';
}

// The dimensions the latest search held, named as the command-line tool's options.
function heldPairs() {
  const pairs = [];
  const [c, k, s] = state.held;
  if (c) pairs.push(['cores', state.fields.cores || String(model.core_counts[state.indices[0]])]);
  if (k) pairs.push(['cache', String(model.cache_sizes[state.indices[1]])]);
  if (s) {
    pairs.push(['scale', String(model.scale_steps[state.indices[2]])],
      ['vdd', state.operating_point[0]], ['freq', state.operating_point[1]]);
  }
  return pairs;
}

// The request on show as the tool's options: every option, the limits in force (TSV with 3D
// memory only) and, with withHolds, the held dimensions.
function shownRequest(withHolds) {
  const request = OPTION_PARAMS.map((name, i) => [name, model.names[i][state.options[i]]]);
  LIMIT_PARAMS.forEach((name, i) => {
    if (i < 3 || state.options[1] !== 0) request.push([name, state.limits[i]]);
  });
  return withHolds ? [...request, ...heldPairs()] : request;
}

// The view as the page's address: the options, the limits that differ from the node's own,
// the dimensions the latest search held, named as the command-line tool's options, the lock
// boxes, the budget's set-up and the pinned designs. Each new address is a history entry, but
// when replace (opening a view).
function writeLink(replace = false) {
  clearTimeout(linkPending);
  const p = new URLSearchParams();
  OPTION_PARAMS.forEach((name, i) => p.set(name, model.names[i][state.options[i]]));
  const node = model.defaults[state.options[4]];
  const defaults = [node[0], node[1], node[2], state.options[1] !== 0 ? node[3] : '0'];
  LIMIT_PARAMS.forEach((name, i) => {
    if (state.limits[i] !== defaults[i]) p.set(name, state.limits[i]);
  });
  for (const [name, value] of heldPairs()) p.set(name, value);
  const locks = LOCK_PARAMS.filter((name, i) => state.locks[i] === 1);
  if (locks.length) p.set('locks', locks.join(','));
  const budget = budgetLinkValue();
  if (budget) p.set('budget', budget);
  const pins = pinsLinkValue();
  if (pins) p.set('pins', pins);
  const text = p.toString().replaceAll('%2F', '/').replaceAll('%2C', ',').replaceAll('%3A', ':');
  const url = `${location.pathname}?${text}`;
  recordView(url, replace);
  $('link').href = url;
}

// A link's parameters as actions: the options, the limits, "Best Performance", then the held
// dimensions (below) and the lock boxes. A bad parameter is named and ignored; numbers are
// read as the tool reads them. A supply and frequency are checked as the tool checks them,
// except in an entry of this session's history (own, true): the window can leave a supply the
// tool would not take (an option change keeps the one on show), and Back must show that view.
function actionsOfLink(search, own = false) {
  const problems = [];
  const p = singleParams(search, problems);
  const known = new Set([...OPTION_PARAMS, ...LIMIT_PARAMS, ...HOLD_PARAMS, 'locks', 'budget', 'pins']);
  const chosen = state.options.slice(); // the options the link leaves on show
  for (const key of p.keys())
    if (!known.has(key))
      problems.push(`${key}: not a parameter of this page; accepted: ${[...known].join(', ')}`);
  const actions = [];
  OPTION_PARAMS.forEach((name, i) => {
    if (!p.has(name)) return;
    const wanted = p.get(name).toLowerCase();
    const k = model.names[i].findIndex((n) => n.toLowerCase() === wanted);
    if (k < 0) problems.push(`${name}: ${p.get(name)} is not one; accepted: ${model.names[i].join(', ')}`);
    else if (k !== state.options[i]) actions.push(`option ${i} ${k}`);
    if (k >= 0) chosen[i] = k;
  });
  const number = (name, low, high, unit) => {
    if (!p.has(name)) return null;
    const text = p.get(name).trim();
    const v = toolNumber(text);
    if (v === null || v < low || v > high) {
      problems.push(`${name}: ${p.get(name)} is out of range; accepted: ${low} to ${high}${unit}`);
      return null;
    }
    return text;
  };
  LIMIT_PARAMS.forEach((name, i) => {
    const v = number(name, 0, 1000, '');
    if (v !== null) actions.push(`limit ${i + 2} ${v}`);
  });
  actions.push('best');
  const onAxis = (name, axis) => {
    if (!p.has(name)) return -1;
    const k = axis.findIndex((a) => a === toolNumber(p.get(name).trim()));
    if (k < 0) problems.push(`${name}: ${p.get(name)} is not one of ${axis.join(', ')}`);
    return k;
  };
  const cores = onAxis('cores', model.core_counts);
  const cache = onAxis('cache', model.cache_sizes);
  const scale = onAxis('scale', model.scale_steps);
  const base = OPTION_PARAMS.map((name, i) => `${name}=${model.names[i][chosen[i]]}`);
  base.push(`scale=${scale >= 0 ? model.scale_steps[scale] : Math.max(...model.scale_steps)}`);
  const check = (r) => JSON.parse(call.requestCsv(r)).error;
  const { vdd, freq } = checkedOperatingPoint(p, base, own ? () => '' : check, problems);
  const point = scale >= 0 || vdd !== null || freq !== null;
  // The held core count and cache size on their sliders, each locked once moved; a held
  // scale step (by default the one "Best Performance" chose) at its supply and frequency put
  // in place as a search leaves them (no slider reaches every operating point a search can
  // leave; a supply alone brings the frequency it allows, neither the step's own, as the tool
  // takes them), and locked; then, with something locked, "Best Performance" searches with
  // these held.
  if (cores >= 0) actions.push(`slider 0 ${cores}`, 'lock 0 1');
  if (cache >= 0) actions.push(`slider 1 ${cache}`, 'lock 1 1');
  if (point) {
    actions.push(`point ${scale >= 0 ? scale : '-'} ${vdd !== null ? vdd : '-'} ` +
                 `${freq !== null ? freq : '-'}`, 'lock 2 1');
  }
  if (cores >= 0 || cache >= 0 || point) actions.push('best', 'lock 0 0', 'lock 1 0', 'lock 2 0');
  if (p.has('locks')) {
    const names = p.get('locks').split(',').filter((n) => n !== '');
    const unknown = names.filter((n) => !LOCK_PARAMS.includes(n));
    if (unknown.length) problems.push(`locks: ${unknown.join(', ')} is not one; accepted: ${LOCK_PARAMS.join(', ')}`);
    else LOCK_PARAMS.forEach((name, i) => { if (names.includes(name)) actions.push(`lock ${i} 1`); });
  }
  return { actions, problems, budget: p.get('budget'), pins: p.get('pins') };
}

function start(search, own = false) {
  const { actions, problems, budget, pins } = actionsOfLink(search, own);
  for (const a of actions) {
    const error = act(a);
    if (error) problems.push(error);
  }
  page.timings.actionsDone = performance.now();
  render();
  page.timings.rendered = performance.now();
  // A model file opened keeps the set-up and the designs pinned (their figures those of the
  // model they were pinned under); a link or a history entry brings its own.
  if (search || own) {
    restoreBudget(budget, problems);
    restorePins(pins, problems);
  }
  message('');
  for (const p of problems) message(`Ignored: ${p}`, true);
  writeLink(true);
  // The figures go on screen first; the map follows in the next task after they are painted,
  // and the analysis after the map.
  // (A hidden tab paints nothing: there the map follows at once.)
  return new Promise((resolve) => {
    const painted = () => {
      page.timings.figuresShown = performance.now();
      setTimeout(() => {
        redrawMap();
        page.timings.mapDrawn = performance.now();
        clearTimeout(analysisPending);
        analysisPending = setTimeout(analyse, 0);
        resolve();
      }, 0);
    };
    if (document.hidden) painted();
    else requestAnimationFrame(painted);
  });
}

// ----------------------------------------------------------------------------------------------
// The map, explain and the budget curve

function redrawMap() {
  map = JSON.parse(call.map());
  map.speedup = call.speedups(map.cells);
  $('map-title').textContent = map.title;
  $('map-subtitle').textContent = [map.subtitle, ...map.notes].join(' · ');
  if (mapCursor && !(mapCursor[0] < model.cache_sizes.length && mapCursor[1] < model.core_counts.length))
    mapCursor = null; // a model file with shorter axes
  drawMap($('map'), map, model, document.activeElement === $('map') ? mapCursor : null);
  fillLegend($('map-legend'), map);
  const best = map.best ? map.speedup[map.best[0] * model.core_counts.length + map.best[1]] : null;
  setFigure('which-step', best);
}

function showCell(cell, x, y) {
  const tip = $('map-tip');
  if (!cell) {
    tip.hidden = true;
    return;
  }
  const text = onScreen(call.cell(cell[0], cell[1]));
  tip.textContent = text;
  $('map-cell').textContent = text;
  tip.hidden = text === '';
  if (!tip.hidden) placeTip(tip, tip.parentElement, x, y);
}

// A cell of the map on show, as holding its core count and cache size would: the core-count
// slider moved and locked, then the cache slider moved (a search with both held), the locks
// left as they were.
function putOnShow([cache, cores]) {
  const locks = state.locks.slice();
  const lines = [];
  if (locks[1]) lines.push('lock 1 0');
  if (locks[0]) lines.push('lock 0 0');
  lines.push(`slider 0 ${cores}`, 'lock 0 1', `slider 1 ${cache}`);
  if (!locks[0]) lines.push('lock 0 0');
  if (locks[1]) lines.push('lock 1 1');
  mapCursor = [cache, cores];
  after(lines);
}

const fixed = (v, d) => (v === null ? '–' : Number(v).toFixed(d));

function analyse() {
  const e = JSON.parse(call.explain(0.1));
  if (e.error) {
    $('explain-note').textContent = e.error;
    return;
  }
  const body = document.querySelector('#explain tbody');
  body.textContent = '';
  for (const l of e.limits) {
    const row = document.createElement('tr');
    const cells = [l.limit, fixed(l.value, 2), fixed(l.figure, 2), fixed(l.slack, 2),
      l.binds ? 'yes' : 'no', fixed(l.relaxed_value, 2), fixed(l.relaxed_speedup, 4),
      l.gain_percent === null ? '–' : `${l.gain_percent >= 0 ? '+' : ''}${l.gain_percent.toFixed(2)} %`,
      l.changes_at === null ? 'never' : fixed(l.changes_at, 3)];
    const heads = document.querySelectorAll('#explain thead th');
    cells.forEach((c, i) => {
      const td = document.createElement('td');
      td.textContent = c;
      td.dataset.label = heads[i].textContent; // its caption where a phone stacks the row
      row.append(td);
    });
    row.dataset.limit = l.limit;
    body.append(row);
  }
  const held = e.held.length ? ` with ${e.held.join(', ')} held as on show` : '';
  setFigure('which-limits', e.feasible ? e.speedup : null,
    e.feasible ? `${e.speedup.toFixed(2)}${held}` : 'nothing meets the limits');
  $('explain-note').textContent = e.feasible
    ? `The options and limits on show${held}: best speedup ${e.speedup.toFixed(4)}; each limit relaxed alone by 10 %:`
    : 'Nothing meets these limits.' +
      (e.together.length ? ` Together they must reach ${e.together.map((t) => `${t.limit} ${t.value.toFixed(2)}`).join(', ')}.` : '');
  // The budget curve in a task of its own: the page answers its controls in between.
  analysisPending = setTimeout(() => {
    refreshBudget();
    page.analysedAfter = page.log.length; // the analysis of what the latest action left on show
  }, 0);
}

// ----------------------------------------------------------------------------------------------
// The controls

// One action, or several in a row, then the figures, the map and (soon after) the analysis.
function after(line) {
  const t = performance.now();
  let error = '';
  for (const one of [line].flat()) {
    const refused = act(one);
    error = error || refused;
  }
  render();
  redrawMap();
  page.lastActionMs = performance.now() - t;
  message(error ? `Refused: ${error}` : '');
  // The analysis follows once the figures and the map are on screen.
  clearTimeout(analysisPending);
  analysisPending = setTimeout(analyse, 0);
}

// The engine goes through every option set of a model file just opened a few at a time, the
// page answering its controls in between; the notice, if any, follows what is on show.
let scanning = 0;
function noticeNonFinite() {
  const scan = ++scanning;
  page.scanning = true;
  const step = () => {
    if (scan !== scanning) return; // another file was opened since
    const answer = JSON.parse(call.scanStep(2));
    if (!answer.done) {
      setTimeout(step, 0);
      return;
    }
    if (answer.notice) message(answer.notice, true);
    page.scanning = false;
  };
  setTimeout(step, 0);
}

function connect() {
  for (let i = 0; i < 5; i++)
    $(`option-${i}`).addEventListener('change', (e) => after(`option ${i} ${e.target.value}`));
  $('best').addEventListener('click', () => after('best'));
  $('best-again').addEventListener('click', () => after('best'));
  for (const slot of [0, 1, 4, 5])
    $(`slider-${slot}`).addEventListener('input', (e) => after(`slider ${slot} ${e.target.value}`));
  for (let i = 0; i < 3; i++)
    $(`lock-${i}`).addEventListener('change', (e) => after(`lock ${i} ${e.target.checked ? 1 : 0}`));
  for (let slot = 2; slot <= 5; slot++) {
    const input = $(`limit-${slot}`);
    input.addEventListener('change', () => {
      const read = readLimit(slot - 2, input.value, state.limits[slot - 2]);
      if (read.error) {
        message(read.error);
        input.value = state.limits[slot - 2];
        return;
      }
      after(`limit ${slot} ${String(Number(read.text))}`);
      input.value = state.limits[slot - 2];
    });
  }
  $('pin-design').addEventListener('click', () => {
    const error = pinDesign(shownRequest(true));
    message(error ? `Not pinned: ${error}${pointHint(error)}` : '');
  });

  const canvas = $('map');
  canvas.addEventListener('mousemove', (e) => {
    const r = canvas.getBoundingClientRect();
    const cell = map ? mapCellAt(canvas, model, e.clientX - r.left, e.clientY - r.top) : null;
    showCell(cell, e.clientX - r.left, e.clientY - r.top);
  });
  canvas.addEventListener('mouseleave', () => showCell(null));
  canvas.addEventListener('click', (e) => {
    const r = canvas.getBoundingClientRect();
    const cell = map ? mapCellAt(canvas, model, e.clientX - r.left, e.clientY - r.top) : null;
    if (cell) putOnShow(cell);
  });
  canvas.addEventListener('keydown', (e) => {
    const moves = { ArrowLeft: [0, -1], ArrowRight: [0, 1], ArrowUp: [1, 0], ArrowDown: [-1, 0] };
    if (e.key === 'Enter' && mapCursor) {
      e.preventDefault();
      putOnShow(mapCursor);
      return;
    }
    if (!moves[e.key]) return;
    e.preventDefault();
    mapCursor = mapCursor || (map.shown || map.best || [0, 0]).slice();
    mapCursor[0] = Math.max(0, Math.min(model.cache_sizes.length - 1, mapCursor[0] + moves[e.key][0]));
    mapCursor[1] = Math.max(0, Math.min(model.core_counts.length - 1, mapCursor[1] + moves[e.key][1]));
    $('map-cell').textContent = onScreen(call.cell(mapCursor[0], mapCursor[1]));
    drawMap(canvas, map, model, mapCursor);
    page.mapCursor = mapCursor.slice();
  });
  canvas.addEventListener('focus', () => {
    // The keyboard's cursor shows as soon as the map has the keyboard, on the cell on show.
    if (!map) return;
    mapCursor = mapCursor || (map.shown || map.best || [0, 0]).slice();
    page.mapCursor = mapCursor.slice();
    drawMap(canvas, map, model, mapCursor);
  });
  canvas.addEventListener('blur', () => drawMap(canvas, map, model, null));

  $('model-file').addEventListener('change', async (e) => {
    const file = e.target.files[0];
    e.target.value = '';
    if (!file) return;
    // Its bytes as they are, and no more of them than the program reads: the engine refuses a
    // file too large as the program does.
    let bytes;
    try {
      bytes = new Uint8Array(await file.slice(0, call.readBytes()).arrayBuffer());
    } catch (error) {
      message(`${file.name}: file: it cannot be read (${error.message}); accepted: a readable model file`);
      return;
    }
    const answer = JSON.parse(call.load(bytes, file.name));
    if (!answer.ok) {
      message('');
      message(`${file.name} is not used; the model stays ${model.source}:`, true);
      for (const line of answer.errors) message(line, true);
      return;
    }
    model = JSON.parse(call.model());
    fillOptions();
    page.log.push(`#model ${file.name}`);
    start('');
    // What the window says when it opens a file: figures outside the typical ranges, then
    // configurations whose figures are not finite.
    for (const line of answer.warnings) message(line, true);
    noticeNonFinite();
  });
  $('export-model').addEventListener('click', () => {
    const blob = new Blob([call.exportModel()], { type: 'text/plain' });
    const a = document.createElement('a');
    a.href = URL.createObjectURL(blob);
    a.download = 'model.toml';
    a.click();
    setTimeout(() => URL.revokeObjectURL(a.href), 1000);
  });
  window.addEventListener('resize', () => {
    resized();
    if (map) drawMap($('map'), map, model, document.activeElement === $('map') ? mapCursor : null);
    redrawBudget();
  });
}

// After an option change the window keeps the supply on show, which the new options may not
// allow (the tool refuses it); a search puts the design at a point the tool can state.
function pointHint(error) {
  return /^(vdd|freq):/.test(error) ? '; "Best Performance" gives a design at a point these ' +
    'options allow' : '';
}

// The budget exercise, the comparison, the downloads and the history, each given what it reads
// of the view on show.
function connectExercise() {
  const ask = (text) => JSON.parse(call.requestCsv(text));
  const pushView = () => writeLink();
  setupCompare(ask, pushView);
  setupExercise({
    budgetCsv: (request, vary, checkOnly = false) =>
      JSON.parse(call.budgetCsv(request, vary, checkOnly ? 1 : 0)),
    request: () => shownRequest(false),
    limitInForce: (k) => Number(state.limits[k]),
    nodeLimit: (k) => Number(model.defaults[state.options[4]][k]),
    pin: (request) => pinDesign(request),
    changed: pushView,
    message: (text) => message(text),
  });
  setupDownloads({
    figuresCsv: () => {
      const answer = ask(shownRequest(true).map(([name, value]) => `${name}=${value}`).join('\n'));
      if (answer.error) message(`Not saved: ${answer.error}${pointHint(answer.error)}`);
      return answer.error ? '' : answer.csv;
    },
    compareCsv, budgetCsv,
    mapSvg: () => (map ? mapSvg(drawMap, map, model) : ''),
    curveSvg,
    failed: (text) => message(`Not saved: ${text}`),
  });
  // Back, Forward and Undo: the view of that entry opened afresh, as its link would open it.
  startHistory($('undo'), (search) => {
    call.restart();
    page.log.push('#restart');
    state = JSON.parse(call.act('lock 0 0')).state;
    start(search, true);
  });
}

// A new instance of the engine, made from its code as compiled while it downloaded (index.html
// starts that once the page's text is painted); the same compiled code serves every instance.
function compiledEngine() {
  if (!self.engineWasm) return createEngine();
  return createEngine({
    instantiateWasm(imports, receive) {
      self.engineWasm.then((module) => WebAssembly.instantiate(module, imports)
        .then((instance) => {
          page.timings.engineInstantiated = performance.now();
          receive(instance, module);
        }))
        .catch((error) => message(`The page could not start: the engine did not load (${error})`));
      return {};
    },
  });
}

async function main() {
  page.timings = { moduleStart: performance.now() };
  self.engineWasm?.then(() => { page.timings.engineCompiled = performance.now(); }, () => {});
  // A trap in the engine is said once; the fresh engine then redraws what depends on it.
  call = await startEngine(compiledEngine, {
    report: (text) => message(text, true),
    restarted: () => {
      redrawMap();
      clearTimeout(analysisPending);
      analysisPending = setTimeout(analyse, 0);
    },
  });
  page.engine = call;
  page.timings.engineReady = performance.now();
  call.restart();
  page.timings.restarted = performance.now();
  model = JSON.parse(call.model());
  state = JSON.parse(call.act('lock 0 0')).state; // the window as it opens
  page.timings.opened = performance.now();
  page.log.length = 0;
  fillOptions();
  connect();
  connectExercise();
  page.timings.controlsReady = performance.now();
  await start(location.search);
  page.firstResultMs = page.timings.figuresShown;
  $('explorer').setAttribute('aria-busy', 'false');
  page.ready = true;
  import('./help.js').then((help) => help.installHelp());
}

main().catch((error) => {
  message(`The page could not start: ${error}`);
});

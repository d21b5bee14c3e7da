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

let call, model, state, map = null, mapCursor = null, analysisPending = 0, linkPending = 0;

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
  const answer = JSON.parse(call.act(line));
  if (answer.not_done) page.log.pop(); // the engine was restarted without it
  if (answer.state) state = answer.state; // an engine that refused keeps what is on show
  return answer.error;
}

function fillOptions() {
  for (let i = 0; i < 5; i++) {
    const box = $(`option-${i}`);
    box.textContent = '';
    model.items[i].forEach((item, k) => {
      const o = document.createElement('option');
      o.value = String(k);
      o.textContent = item === '' ? `${model.names[i][k]} (blank in the window)` : item;
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
  for (let slot = 2; slot <= 5; slot++) {
    const input = $(`limit-${slot}`);
    if (document.activeElement !== input) input.value = state.limits[slot - 2];
    input.dataset.value = state.limits[slot - 2];
  }
  for (const [slot, text] of Object.entries(state.labels)) {
    const out = $(`label-${slot}`);
    if (out && out.textContent !== text) out.textContent = text;
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
  // The address follows at most a few times a second (a dragged slider sends many actions).
  clearTimeout(linkPending);
  linkPending = setTimeout(writeLink, 120);
}

function buildFigureTable() {
  const body = document.querySelector('#figures tbody');
  for (const [field, caption] of FIELDS) {
    const row = document.createElement('tr');
    const th = document.createElement('th');
    th.scope = 'row';
    th.textContent = caption;
    const td = document.createElement('td');
    td.dataset.field = field;
    td.dataset.value = '';
    row.append(th, td);
    body.append(row);
  }
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
  redrawMap();
  page.timings.mapDrawn = performance.now();
  // The analysis follows once the figures and the map are on screen.
  clearTimeout(analysisPending);
  analysisPending = setTimeout(analyse, 0);
}

// ----------------------------------------------------------------------------------------------
// The map, explain and the budget curve

function redrawMap() {
  map = JSON.parse(call.map());
  map.speedup = call.speedups(map.cells);
  $('map-title').textContent = map.title;
  $('map-subtitle').textContent = [map.subtitle, ...map.notes].join(' · ');
  drawMap($('map'), map, model);
  const legend = $('map-legend');
  legend.textContent = '';
  const lines = [map.best_text, map.shown_text];
  map.limits.forEach((l, i) => {
    if (l) lines.push(`${['▬ red', '▬ orange', '▬ blue', '▬ magenta'][i]} line: ${l.caption} limit ${l.value} ${l.unit}`);
  });
  lines.push('grey: breaks a limit · ○ best · □ on show');
  let top = 0;
  for (const v of map.speedup) if (v > top) top = v;
  const scale = document.createElement('li');
  scale.className = 'colour-scale';
  scale.append('speedup 0 ', Object.assign(document.createElement('span'), { className: 'ramp' }),
    ` ${top.toFixed(1)}`);
  legend.append(scale);
  for (const text of lines) {
    if (!text) continue;
    const li = document.createElement('li');
    li.textContent = text;
    legend.append(li);
  }
}

function showCell(cell, x, y) {
  const tip = $('map-tip');
  if (!cell) {
    tip.hidden = true;
    return;
  }
  const text = call.cell(cell[0], cell[1]);
  tip.textContent = text;
  $('map-cell').textContent = text;
  tip.hidden = text === '';
  tip.style.left = `${x + 12}px`;
  tip.style.top = `${y + 12}px`;
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
    for (const c of cells) {
      const td = document.createElement('td');
      td.textContent = c;
      row.append(td);
    }
    row.dataset.limit = l.limit;
    body.append(row);
  }
  const held = e.held.length ? ` with ${e.held.join(', ')} held as on show` : '';
  $('explain-note').textContent = e.feasible
    ? `The options and limits on show${held}: best speedup ${e.speedup.toFixed(4)}; each limit relaxed alone by 10 %:`
    : 'Nothing meets these limits.' +
      (e.together.length ? ` Together they must reach ${e.together.map((t) => `${t.limit} ${t.value.toFixed(2)}`).join(', ')}.` : '');
  refreshBudget();
  page.analysedAfter = page.log.length; // the analysis of what the latest action left on show
}

// ----------------------------------------------------------------------------------------------
// The controls

function after(line) {
  const t = performance.now();
  const error = act(line);
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
  for (const slot of [0, 1, 4, 5])
    $(`slider-${slot}`).addEventListener('input', (e) => after(`slider ${slot} ${e.target.value}`));
  for (let i = 0; i < 3; i++)
    $(`lock-${i}`).addEventListener('change', (e) => after(`lock ${i} ${e.target.checked ? 1 : 0}`));
  for (let slot = 2; slot <= 5; slot++) {
    const input = $(`limit-${slot}`);
    input.addEventListener('change', () => {
      const text = input.value.trim();
      if (text === '' || !Number.isFinite(Number(text))) {
        message(`The ${input.parentElement.firstChild.textContent.trim()} must be a number; it stays ${state.limits[slot - 2]}.`);
        input.value = state.limits[slot - 2];
        return;
      }
      after(`limit ${slot} ${text}`);
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
  canvas.addEventListener('keydown', (e) => {
    const moves = { ArrowLeft: [0, -1], ArrowRight: [0, 1], ArrowUp: [1, 0], ArrowDown: [-1, 0] };
    if (!moves[e.key]) return;
    e.preventDefault();
    mapCursor = mapCursor || (map.shown || map.best || [0, 0]).slice();
    mapCursor[0] = Math.max(0, Math.min(model.cache_sizes.length - 1, mapCursor[0] + moves[e.key][0]));
    mapCursor[1] = Math.max(0, Math.min(model.core_counts.length - 1, mapCursor[1] + moves[e.key][1]));
    $('map-cell').textContent = call.cell(mapCursor[0], mapCursor[1]);
  });

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
    if (map) drawMap($('map'), map, model);
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

async function main() {
  page.timings = { moduleStart: performance.now() };
  // A trap in the engine is said once; the fresh engine then redraws what depends on it.
  call = await startEngine(createEngine, {
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
  model = JSON.parse(call.model());
  state = JSON.parse(call.act('lock 0 0')).state; // the window as it opens
  page.log.length = 0;
  buildFigureTable();
  fillOptions();
  connect();
  connectExercise();
  page.timings.controlsReady = performance.now();
  start(location.search);
  page.firstResultMs = performance.now();
  $('explorer').setAttribute('aria-busy', 'false');
  page.ready = true;
}

main().catch((error) => {
  message(`The page could not start: ${error}`);
});

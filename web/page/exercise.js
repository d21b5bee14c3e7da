// The budget exercise: how the best design of the options and limits on show changes as one
// limit goes over a range the student chooses (start, end, step). The engine answers what
// `budget --binding --format csv` writes for it; the page draws the best speedup as a curve
// (labelled axes, ticks, values on hover or by arrow keys) and lists the best design at each
// point in a table (a data-row per point, a data-field/data-value per cell, named and written
// as the tool's CSV), from which any point can be pinned to the comparison.
import { parseCsv, pictureSvg } from './downloads.js';
import { toolNumber } from './history.js';

const count = (n, noun) => `${n} ${noun}${n === 1 ? '' : 's'}`;

const LIMITS = [
  { name: 'area', column: 'area_limit_mm2', caption: 'area', unit: 'mm²', arg: 'area' },
  { name: 'power', column: 'power_limit_w', caption: 'power', unit: 'W', arg: 'power' },
  { name: 'bandwidth', column: 'bandwidth_limit_gbps', caption: 'off-chip bandwidth', unit: 'GB/s', arg: 'bw' },
  { name: 'tsv', column: 'tsv_limit_gbps', caption: 'TSV bandwidth', unit: 'GB/s', arg: 'tsv' },
];
const fixed = (digits) => (text) => Number(text).toFixed(digits);
// A scale step with one decimal where that reads back to it ("1.0"), else as written ("0.95").
const stepText = (text) => (Number(Number(text).toFixed(1)) === Number(text) ? Number(text).toFixed(1) : text);
const COLUMNS = [
  ['speedup', 'Best speedup', fixed(4)], ['cores', 'Cores'], ['cache_mb', 'L2 cache, MB'],
  ['scale', 'Scale step', stepText], ['vdd_v', 'Supply, V', fixed(3)], ['freq_ghz', 'Frequency, GHz', fixed(3)],
  ['area_mm2', 'Area, mm²', fixed(2)], ['power_w', 'Power, W', fixed(2)],
  ['bandwidth_gbps', 'Off-chip bandwidth, GB/s', fixed(2)],
  ['tsv_bandwidth_gbps', 'TSV bandwidth, GB/s', fixed(2)],
  ['binding', 'Binding limits', (t) => (t === '' ? 'none' : t.replaceAll('+', ', '))],
];

const $ = (id) => document.getElementById(id);
// The limit varied, and its range as typed (texts), or null: around the limit in force.
let setup = { limit: 1, range: null };
let result = null; // the latest answer: {csv, rows, limit, at, range, stacked}
let hover = -1;
let env = null;

// `env`: budgetCsv(request, vary, checkOnly) the engine's {error, csv}; request() the options and limits
// on show as [name, value] pairs; limitInForce(k) and nodeLimit(k) numbers; pin(request) '' or
// why not; changed() after a set-up change (the link, the history); message(text) a refusal.
export function setupExercise(environment) {
  env = environment;
  $('budget-limit').addEventListener('change', (e) => {
    setup = { limit: Number(e.target.value), range: null };
    refreshBudget();
    env.changed();
  });
  $('budget-form').addEventListener('submit', (e) => {
    e.preventDefault();
    const texts = ['start', 'end', 'step'].map((k) => $(`budget-${k}`).value.trim().replace(/^(\d+),(\d+)$/, '$1.$2'));
    const answer = texts.some((t) => t.length > 64 || toolNumber(t) === null)
      ? { error: `'${texts.map((t) => (t.length > 64 ? `${t.slice(0, 20)}…` : t)).join(':')}' is ` +
          'not START:END:STEP with numbers' } : compute(setup.limit, texts);
    if (answer.error && !situational(answer.error)) {
      env.message(`Budget range refused: ${answer.error}; it stays ${showRange()}.`);
      fillInputs();
      return;
    }
    setup.range = texts;
    env.message('');
    show(answer, texts);
    env.changed();
  });
  const canvas = $('budget');
  canvas.addEventListener('mousemove', (e) => {
    if (!result) return;
    const r = canvas.getBoundingClientRect();
    pointAt(e.clientX - r.left);
  });
  canvas.addEventListener('mouseleave', () => {
    hover = -1;
    for (const row of $('budget-table').tBodies[0].rows) row.classList.remove('hovered');
    $('budget-tip').hidden = true;
    draw();
  });
  canvas.addEventListener('keydown', (e) => {
    const moves = { ArrowLeft: -1, ArrowRight: 1, Home: -Infinity, End: Infinity };
    if (!result || !(e.key in moves)) return;
    e.preventDefault();
    const last = result.rows.length - 1;
    // With no point marked yet, the first step lands on an end: the first going right or
    // home, the last going left or to the end.
    const from = hover >= 0 ? hover : moves[e.key] > 0 ? -1 : last + 1;
    hover = Math.max(0, Math.min(last, from + moves[e.key]));
    showPoint(false);
  });
}

// The set-up in a link: "power" (its range around the limit in force) or
// "power:50:200:10"; null for the default (power, around the limit in force).
export function budgetLinkValue() {
  const name = LIMITS[setup.limit].name;
  if (setup.range) return `${name}:${setup.range.join(':')}`;
  return setup.limit === 1 ? null : name;
}

// A link's set-up in place of the one on show; a bad one is named in problems and ignored.
export function restoreBudget(text, problems) {
  setup = { limit: 1, range: null };
  if (text !== null) {
    const [name, ...range] = text.split(':');
    const limit = LIMITS.findIndex((l) => l.name === name.toLowerCase() || (name.toLowerCase() === 'bw' && l.name === 'bandwidth'));
    const error = limit < 0 ? `'${name}' is not a limit; accepted: ${LIMITS.map((l) => l.name).join(', ')}`
      : range.length !== 0 && range.length !== 3 ? `'${text}' is not LIMIT or LIMIT:START:END:STEP`
        : range.length ? tryRange(limit, range) : '';
    if (error) problems.push(`budget: ${error}`);
    else setup = { limit, range: range.length ? range : null };
  }
  $('budget-limit').value = String(setup.limit);
}

// Why a range cannot be drawn up (the engine's reading, as the tool's --vary), or ''. A range
// refused only because of what is on show (TSV with plain memory) is kept: it applies later.
function tryRange(limit, texts) {
  if (texts.some((t) => toolNumber(t) === null))
    return `'${texts.join(':')}' is not START:END:STEP with numbers`;
  const answer = env.budgetCsv(requestText(env.request()), vary(limit, texts), true);
  return answer.error && !situational(answer.error) ? answer.error : '';
}

const situational = (error) => error.includes('TSV limit is checked');
const compute = (limit, texts) => env.budgetCsv(requestText(env.request()), vary(limit, texts));

const requestText = (request) => request.map(([name, value]) => `${name}=${value}`).join('\n');
const vary = (limit, [start, end, step]) => `${LIMITS[limit].name}=${start}:${end}:${step}`;

// A round step that gives about 20 points from a quarter to twice the limit in force.
function autoRange(limit) {
  let base = env.limitInForce(limit);
  if (!(base > 0)) base = env.nodeLimit(limit);
  if (!(base > 0)) base = 100;
  const step = niceStep(2 * base - base / 4, 20);
  const clean = (v) => String(Number(v.toPrecision(12)));
  return [clean(Math.floor(base / 4 / step) * step), clean(Math.ceil((2 * base) / step) * step), clean(step)];
}

function showRange() {
  const [start, end, step] = setup.range || autoRange(setup.limit);
  return `${start} to ${end} by ${step}`;
}

function fillInputs() {
  const texts = setup.range || autoRange(setup.limit);
  ['start', 'end', 'step'].forEach((k, i) => { $(`budget-${k}`).value = texts[i]; });
  const limit = LIMITS[setup.limit];
  for (const id of ['budget-start-unit', 'budget-end-unit', 'budget-step-unit']) $(id).textContent = limit.unit;
}

// The budget of what is on show, worked out again (after every action and set-up change).
export function refreshBudget() {
  const texts = setup.range || autoRange(setup.limit);
  show(compute(setup.limit, texts), texts);
}

// The engine's answer for the set-up on show: the curve, the table and a line on what they are.
function show(answer, texts) {
  $('budget-limit').value = String(setup.limit);
  fillInputs();
  const limit = LIMITS[setup.limit];
  hover = -1;
  $('budget-tip').hidden = true;
  $('budget-point').textContent = '';
  if (answer.error) {
    result = null;
    $('budget-note').textContent = situational(answer.error)
      ? 'The TSV limit counts with 3D memory only: choose 3D memory to vary it.' : answer.error;
  } else {
    const table = parseCsv(answer.csv);
    result = { csv: answer.csv, rows: table.rows, limit, at: env.limitInForce(setup.limit),
      stacked: table.rows.some((r) => r.tsv_limit_gbps !== '') };
    const none = table.rows.filter((r) => r.feasible !== 'true').length;
    $('budget-note').textContent = `The best design as the ${limit.caption} limit goes from ` +
      `${texts[0]} to ${texts[1]} ${limit.unit} by ${texts[2]} (${count(table.rows.length, 'point')}), ` +
      'with the options and the other limits on show and every dimension free' +
      `${none ? `; nothing meets the limits at ${none} of them` : ''}. ` +
      'A limit binds at a point when relaxing it alone by 10 % changes the best design there.';
  }
  draw();
  fillTable();
  $('download-budget-csv').disabled = !result;
}

export function budgetCsv() {
  return result ? result.csv : '';
}

// ---------------------------------------------------------------------------------------------
// The curve

// A round step (1, 2, 2.5 or 5 times a power of ten) that splits a span into about count parts.
function niceStep(span, count) {
  const raw = (span || 1) / count;
  const power = 10 ** Math.floor(Math.log10(raw));
  return [1, 2, 2.5, 5, 10].map((m) => m * power).find((s) => s >= raw * 0.999);
}

// The multiples of step from low to high.
function ticksOf(low, high, step) {
  const ticks = [];
  for (let k = Math.ceil(low / step - 1e-9); k * step <= high + step * 1e-9; k++)
    ticks.push(Number((k * step).toPrecision(12)));
  return ticks;
}

const MARGIN = { left: 58, right: 18, top: 30, bottom: 46 };

function frame(width, height) {
  const xs = result.rows.map((r) => Number(r[result.limit.column]));
  const ys = result.rows.map((r) => (r.feasible === 'true' ? Number(r.speedup) : null));
  // A range of one value is shown around it: a tenth of it either side (from 0 up to 1 at 0).
  let x0 = xs[0], x1 = xs[xs.length - 1];
  if (!(x1 > x0)) {
    const pad = x0 > 0 ? x0 / 10 : 1;
    x0 = Math.max(0, x0 - pad);
    x1 += pad;
  }
  let top = 0;
  for (const y of ys) if (y !== null && y > top) top = y;
  // The speedup axis from 0 to the round tick above the highest point.
  const yStep = niceStep(top > 0 ? top * 1.05 : 1, 5);
  const y1 = Math.ceil((top > 0 ? top * 1.05 : 1) / yStep - 1e-9) * yStep;
  const yTicks = ticksOf(0, y1, yStep);
  const xTicks = ticksOf(x0, x1, niceStep(x1 - x0, Math.max(2, Math.floor(width / 90))));
  return {
    xs, ys, x0, x1, y1, yTicks, xTicks,
    X: (v) => MARGIN.left + ((v - x0) / (x1 - x0)) * (width - MARGIN.left - MARGIN.right),
    Y: (v) => height - MARGIN.bottom - (v / y1) * (height - MARGIN.top - MARGIN.bottom),
  };
}

// Draws the curve on a canvas (or the SVG stand-in): sized to its box, sharp on any pixel ratio.
function drawOn(canvas, withHover) {
  const width = Math.max(280, canvas.clientWidth || canvas.width);
  const height = Math.round(Math.min(360, Math.max(220, width * 0.42)));
  const ratio = window.devicePixelRatio || 1;
  if (canvas.width !== Math.round(width * ratio) || canvas.height !== Math.round(height * ratio)) {
    canvas.width = Math.round(width * ratio);
    canvas.height = Math.round(height * ratio);
    canvas.style.height = `${height}px`;
  }
  const g = canvas.getContext('2d');
  g.setTransform(ratio, 0, 0, ratio, 0, 0);
  g.fillStyle = '#fff';
  g.fillRect(0, 0, width, height);
  if (!result) return;
  const f = frame(width, height);
  const right = width - MARGIN.right, bottom = height - MARGIN.bottom;
  g.font = '11px system-ui, sans-serif';
  g.lineWidth = 1;
  // Grid and ticks.
  g.strokeStyle = '#e2e2e2';
  g.beginPath();
  for (const t of f.yTicks) { g.moveTo(MARGIN.left, f.Y(t)); g.lineTo(right, f.Y(t)); }
  for (const t of f.xTicks) { g.moveTo(f.X(t), MARGIN.top); g.lineTo(f.X(t), bottom); }
  g.stroke();
  g.strokeStyle = '#555';
  g.strokeRect(MARGIN.left, MARGIN.top, right - MARGIN.left, bottom - MARGIN.top);
  g.fillStyle = '#222';
  g.textAlign = 'center';
  g.textBaseline = 'top';
  for (const t of f.xTicks) {
    // Kept whole inside the picture at either end.
    const half = g.measureText(String(t)).width / 2;
    g.fillText(String(t), Math.min(Math.max(f.X(t), half + 1), width - half - 1), bottom + 4);
  }
  g.fillText(`${result.limit.caption} limit, ${result.limit.unit}`, (MARGIN.left + right) / 2, bottom + 22);
  g.textAlign = 'right';
  g.textBaseline = 'middle';
  for (const t of f.yTicks) g.fillText(String(t), MARGIN.left - 5, f.Y(t));
  g.save();
  g.translate(14, (MARGIN.top + bottom) / 2);
  g.rotate(-Math.PI / 2);
  g.textAlign = 'center';
  g.fillText('best speedup', 0, 0);
  g.restore();
  // The limit in force.
  if (f.x0 <= result.at && result.at <= f.x1) {
    g.setLineDash([5, 4]);
    g.strokeStyle = '#d62728';
    g.lineWidth = 1.5;
    g.beginPath();
    g.moveTo(f.X(result.at), MARGIN.top);
    g.lineTo(f.X(result.at), bottom);
    g.stroke();
    g.setLineDash([]);
  }
  // The curve, broken where nothing meets the limits, and its points.
  g.strokeStyle = '#1f77b4';
  g.lineWidth = 2;
  g.beginPath();
  let drawing = false;
  f.xs.forEach((x, i) => {
    if (f.ys[i] === null) { drawing = false; return; }
    if (drawing) g.lineTo(f.X(x), f.Y(f.ys[i]));
    else g.moveTo(f.X(x), f.Y(f.ys[i]));
    drawing = true;
  });
  g.stroke();
  g.fillStyle = '#1f77b4';
  if (f.xs.length <= 120) {
    f.xs.forEach((x, i) => {
      if (f.ys[i] === null) return;
      g.beginPath();
      g.arc(f.X(x), f.Y(f.ys[i]), 2.5, 0, 2 * Math.PI);
      g.fill();
    });
  }
  if (withHover && hover >= 0 && f.ys[hover] !== null) {
    g.strokeStyle = '#000';
    g.lineWidth = 1;
    g.beginPath();
    g.moveTo(f.X(f.xs[hover]), MARGIN.top);
    g.lineTo(f.X(f.xs[hover]), bottom);
    g.stroke();
    g.beginPath();
    g.arc(f.X(f.xs[hover]), f.Y(f.ys[hover]), 5, 0, 2 * Math.PI);
    g.stroke();
  }
  // The legend, above the plot.
  g.textAlign = 'left';
  g.textBaseline = 'middle';
  g.strokeStyle = '#1f77b4';
  g.lineWidth = 2;
  g.beginPath();
  g.moveTo(MARGIN.left, 14);
  g.lineTo(MARGIN.left + 22, 14);
  g.stroke();
  g.fillStyle = '#222';
  g.fillText('best speedup', MARGIN.left + 28, 14);
  const second = MARGIN.left + 40 + g.measureText('best speedup').width;
  g.setLineDash([5, 4]);
  g.strokeStyle = '#d62728';
  g.lineWidth = 1.5;
  g.beginPath();
  g.moveTo(second, 14);
  g.lineTo(second + 22, 14);
  g.stroke();
  g.setLineDash([]);
  const full = `${result.limit.caption} limit in force (${result.at} ${result.limit.unit})`;
  const fits = second + 28 + g.measureText(full).width <= width - 4;
  g.fillText(fits ? full : `in force (${result.at} ${result.limit.unit})`, second + 28, 14);
}

function draw() {
  drawOn($('budget'), true);
}

// After a resize: the same curve at the new width.
export function redrawBudget() {
  $('budget-tip').hidden = true;
  draw();
}

export function curveSvg() {
  if (!result) return '';
  return pictureSvg(720, (canvas) => drawOn(canvas, false), [$('budget-note').textContent]);
}

function pointText(i) {
  const r = result.rows[i];
  const at = `${result.limit.caption} limit ${r[result.limit.column]} ${result.limit.unit}`;
  if (r.feasible !== 'true') return `${at}: nothing meets the limits`;
  return `${at}: best speedup ${Number(r.speedup).toFixed(4)} with ${count(Number(r.cores), 'core')}, ` +
    `${r.cache_mb} MB L2, scale step ${r.scale} (${Number(r.vdd_v).toFixed(3)} V, ` +
    `${Number(r.freq_ghz).toFixed(3)} GHz); binding: ${r.binding === '' ? 'none' : r.binding.replaceAll('+', ', ')}`;
}

function pointAt(x) {
  const canvas = $('budget');
  const f = frame(canvas.clientWidth, canvas.clientHeight);
  let best = 0;
  f.xs.forEach((v, i) => { if (Math.abs(f.X(v) - x) < Math.abs(f.X(f.xs[best]) - x)) best = i; });
  hover = best;
  showPoint(true);
}

// The point hovered (or reached by arrow keys): marked on the curve, its values in a tip kept
// inside the curve's box and in a line read out to screen readers.
function showPoint(withTip) {
  draw();
  for (const row of $('budget-table').tBodies[0].rows)
    row.classList.toggle('hovered', row.dataset.row === String(hover));
  const text = pointText(hover);
  $('budget-point').textContent = text;
  const tip = $('budget-tip');
  tip.hidden = !withTip;
  if (!withTip) return;
  tip.textContent = text;
  const canvas = $('budget');
  const f = frame(canvas.clientWidth, canvas.clientHeight);
  const x = f.X(f.xs[hover]);
  const room = canvas.clientWidth;
  tip.style.maxWidth = `${Math.min(320, room - 8)}px`;
  const width = tip.offsetWidth;
  tip.style.left = `${Math.max(4, Math.min(room - width - 4, x + 10))}px`;
  tip.style.top = `${MARGIN.top + 4}px`;
}

// ---------------------------------------------------------------------------------------------
// The table

function fillTable() {
  const table = $('budget-table');
  const head = table.tHead.rows[0];
  const body = table.tBodies[0];
  head.textContent = '';
  body.textContent = '';
  if (!result) return;
  const limit = result.limit;
  const columns = [[limit.column, `${limit.caption[0].toUpperCase()}${limit.caption.slice(1)} limit, ${limit.unit}`],
    ...COLUMNS.filter(([field]) => field !== 'tsv_bandwidth_gbps' || result.stacked)];
  for (const [, caption] of [...columns, [null, 'Compare']]) {
    const th = document.createElement('th');
    th.scope = 'col';
    th.textContent = caption;
    head.append(th);
  }
  result.rows.forEach((row, i) => {
    const tr = document.createElement('tr');
    tr.dataset.row = String(i);
    columns.forEach(([field, , show], k) => {
      const cell = document.createElement(k === 0 ? 'th' : 'td');
      if (k === 0) cell.scope = 'row';
      const value = row[field];
      cell.dataset.field = field;
      cell.dataset.value = value;
      cell.textContent = value === '' && field !== 'binding' ? '–' : show ? show(value) : value;
      tr.append(cell);
    });
    const cell = document.createElement('td');
    const pin = document.createElement('button');
    pin.type = 'button';
    pin.textContent = 'Pin';
    pin.className = 'pin-point';
    pin.setAttribute('aria-label', `Pin the best design at ${limit.caption} limit ${row[limit.column]} ${limit.unit}`);
    pin.addEventListener('click', () => {
      const request = env.request().map(([name, value]) =>
        [name, name === limit.arg ? row[limit.column] : value]);
      const error = env.pin(request);
      if (error) env.message(`Not pinned: ${error}`);
    });
    cell.append(pin);
    tr.append(cell);
    body.append(tr);
  });
}

// Compare designs: each pinned design is a request named as the command-line tool's options
// (options, limits, held dimensions) with the row `search --format csv` gives for it, worked
// out by the engine. The table shows the rows side by side; each row is an element with
// data-row, each cell data-field (the tool's CSV column) and data-value (its CSV text).
import { parseCsv } from './downloads.js';

// The columns shown: the tool's CSV column, its caption, and how its value is shown.
const fixed = (digits) => (text) => Number(text).toFixed(digits);
// A scale step with one decimal where that reads back to it ("1.0"), else as written ("0.95").
const stepText = (text) => (Number(Number(text).toFixed(1)) === Number(text) ? Number(text).toFixed(1) : text);
const COLUMNS = [
  ['workload', 'Workload'], ['memory', 'Memory'], ['transistor', 'Transistor'],
  ['core', 'Core kind'], ['node', 'Node'],
  ['area_limit_mm2', 'Area limit, mm²'], ['power_limit_w', 'Power limit, W'],
  ['bandwidth_limit_gbps', 'Off-chip bandwidth limit, GB/s'], ['tsv_limit_gbps', 'TSV limit, GB/s'],
  ['feasible', 'Meets the limits', (t) => (t === 'true' ? 'yes' : 'no')],
  ['speedup', 'Speedup', fixed(4)], ['cores', 'Cores'], ['cache_mb', 'L2 cache, MB'],
  ['scale', 'Scale step', stepText], ['vdd_v', 'Supply, V', fixed(3)], ['freq_ghz', 'Frequency, GHz', fixed(3)],
  ['area_mm2', 'Area, mm²', fixed(2)], ['power_w', 'Power, W', fixed(2)],
  ['bandwidth_gbps', 'Off-chip bandwidth, GB/s', fixed(2)],
  ['tsv_bandwidth_gbps', 'TSV bandwidth, GB/s', fixed(2)],
  ['unmeetable_limits', 'Limits nothing meets', (t) => t.replaceAll('+', ', ')],
];
const HOLDS = [['cores', ' cores'], ['cache', ' MB'], ['scale', ''], ['vdd', ' V'], ['freq', ' GHz']];
const KEYS = ['workload', 'memory', 'transistor', 'core', 'node', 'area', 'power', 'bw', 'tsv',
  ...HOLDS.map(([name]) => name)];

let pins = [];    // {request: [[name, value], ...], row: {column: text}, line: CSV text}
let header = '';  // the tool's CSV header line
let requestCsv = null, changed = () => {};

// `ask(request)` answers the engine's {error, csv} for a request (a line per "name=value");
// `onChange` follows every pin and removal (the link, the history).
export function setupCompare(ask, onChange) {
  requestCsv = ask;
  changed = onChange;
}

// Pins a request; '' when pinned, otherwise why not.
export function pinDesign(request, quiet = false) {
  const answer = requestCsv(request.map(([name, value]) => `${name}=${value}`).join('\n'));
  if (answer.error) return answer.error;
  const lines = answer.csv.split('\n');
  const table = parseCsv(answer.csv);
  header = lines[0];
  pins.push({ request, row: table.rows[0], line: lines[1] });
  render();
  if (!quiet) changed();
  return '';
}

export function pinCount() {
  return pins.length;
}

// The comparison as the tool's CSV: its header, then each pinned design's row.
export function compareCsv() {
  return pins.length ? `${header}\n${pins.map((p) => p.line).join('\n')}\n` : '';
}

// The pinned designs in a link: designs apart by a space (a "+" in the address), each as
// name:value pairs apart by commas; a value's own "%", ",", ":" and space are escaped.
const escape = (text) => text.replace(/[%,: ]/g, (c) => `%${c.charCodeAt(0).toString(16).toUpperCase()}`);
export function pinsLinkValue() {
  return pins.map((p) => p.request.map(([name, value]) => `${name}:${escape(value)}`).join(','))
    .join(' ');
}

// The pinned designs of a link, in place of those pinned now; a design the engine refuses is
// named in problems and left out.
export function restorePins(text, problems) {
  pins = [];
  const designs = (text || '').split(' ').filter((d) => d !== '');
  designs.forEach((design, number) => {
    const request = [];
    let bad = '';
    for (const pair of design.split(',')) {
      const colon = pair.indexOf(':');
      const name = pair.slice(0, colon);
      if (colon < 0 || !KEYS.includes(name)) {
        bad = `'${pair}' is not name:value with a name among ${KEYS.join(', ')}`;
        break;
      }
      let value;
      try {
        value = decodeURIComponent(pair.slice(colon + 1));
      } catch {
        bad = `'${pair}' has a broken escape`;
        break;
      }
      if (/[\r\n]/.test(value)) {
        bad = `'${pair}' holds a line break`;
        break;
      }
      request.push([name, value]);
    }
    const error = bad || pinDesign(request, true);
    if (error) problems.push(`pins: design ${number + 1} (${design}): ${error}`);
  });
  render();
}

function heldText(request) {
  const held = HOLDS.filter(([name]) => request.some(([n]) => n === name))
    .map(([name, unit]) => `${name === 'scale' ? 'step ' : ''}${request.find(([n]) => n === name)[1]}${unit}`);
  return held.length ? held.join(', ') : 'none (the best)';
}

function render() {
  const table = document.getElementById('compare-table');
  const head = table.tHead.rows[0];
  head.textContent = '';
  const th = (text) => {
    const cell = document.createElement('th');
    cell.scope = 'col';
    cell.textContent = text;
    head.append(cell);
  };
  th('Design');
  for (const [, caption] of COLUMNS.slice(0, 9)) th(caption);
  th('Held');
  for (const [, caption] of COLUMNS.slice(9)) th(caption);
  th('Remove');
  const body = table.tBodies[0];
  body.textContent = '';
  pins.forEach((pin, i) => {
    const tr = document.createElement('tr');
    tr.dataset.row = String(i);
    const name = document.createElement('th');
    name.scope = 'row';
    name.textContent = String(i + 1);
    tr.append(name);
    COLUMNS.forEach(([field, , show], k) => {
      if (k === 9) {
        const held = document.createElement('td');
        held.textContent = heldText(pin.request);
        tr.append(held);
      }
      const td = document.createElement('td');
      const value = pin.row[field] ?? '';
      td.dataset.field = field;
      td.dataset.value = value;
      td.textContent = value === '' ? '–' : show ? show(value) : value;
      tr.append(td);
    });
    const cell = document.createElement('td');
    const remove = document.createElement('button');
    remove.type = 'button';
    remove.textContent = 'Remove';
    remove.setAttribute('aria-label', `Remove design ${i + 1}`);
    remove.addEventListener('click', () => {
      pins.splice(i, 1);
      render();
      changed();
      // The keyboard keeps its place: the Remove button now in this row (or the last row's),
      // or the section's heading once no design is left.
      const buttons = table.tBodies[0].querySelectorAll('button');
      const heading = document.getElementById('compare-heading');
      heading.tabIndex = -1;
      (buttons[Math.min(i, buttons.length - 1)] ?? heading).focus();
    });
    cell.append(remove);
    tr.append(cell);
    body.append(tr);
  });
  document.getElementById('compare-empty').hidden = pins.length > 0;
  document.getElementById('download-compare-csv').disabled = pins.length === 0;
}

// What the page shows around the map: its legend (the colour scale's range, kept as
// data-scale-min/data-scale-max; the best and the on-show lines; each limit line drawn in its
// own pattern), the tooltip kept inside its box, and the note when the best configuration
// sits at the end of an axis of the design space, in the tool's words.
import { LIMIT_STYLES, SCALE_GRADIENT, scaleRange } from './map_style.js';

const svgLine = (style) => {
  const ns = 'http://www.w3.org/2000/svg';
  const svg = document.createElementNS(ns, 'svg');
  svg.setAttribute('width', '40');
  svg.setAttribute('height', '10');
  svg.setAttribute('aria-hidden', 'true');
  const line = document.createElementNS(ns, 'line');
  for (const [k, v] of Object.entries({ x1: 0, y1: 5, x2: 40, y2: 5, stroke: style.colour,
    'stroke-width': Math.min(style.width, 5), 'stroke-dasharray': style.dash.join(' ') || 'none' }))
    line.setAttribute(k, String(v));
  svg.append(line);
  return svg;
};

function item(list, ...parts) {
  const li = document.createElement('li');
  li.append(...parts);
  list.append(li);
  return li;
}

// The engine's texts as the page shows them: "1 cores" and "Bandwidth_TSV:" are the window's
// own slips of wording (its texts stay as they are; data-value keeps them on the page).
export const onScreen = (text) =>
  text.replace(/\b1 cores\b/g, '1 core').replace(/^Bandwidth_TSV:/, 'TSV bandwidth:');

// The legend under the map; returns the scale's range.
export function fillLegend(list, map) {
  const range = scaleRange(map);
  list.textContent = '';
  const scale = item(list);
  scale.className = 'colour-scale';
  scale.dataset.scaleMin = '0';
  scale.dataset.scaleMax = String(range.feasibleTop);
  const ramp = document.createElement('span');
  ramp.className = 'ramp';
  ramp.style.background = SCALE_GRADIENT;
  const top = range.feasibleTop.toFixed(2);
  scale.append('Speedup 0 ', ramp, ` ${top}`, document.createElement('br'), range.nominal
    ? 'No configuration at this scale step meets the limits: the colours span every speedup.'
    : `Colours span the configurations that meet the limits (speedup 0 to ${top}); ` +
      'grey ones break a limit (lighter is faster).');
  if (map.best_text) item(list, '○ ', `${onScreen(map.best_text)} (the best at the scale step on show)`);
  if (map.shown_text) item(list, '□ ', onScreen(map.shown_text));
  map.limits.forEach((l, k) => {
    if (!l) return;
    const li = item(list, svgLine(LIMIT_STYLES[k]),
      ` ${l.caption} limit: at most ${l.value} ${l.unit} (${LIMIT_STYLES[k].name} line)`);
    li.dataset.limit = l.caption;
  });
  item(list, 'Dashed frame: the cell the arrow keys are on; Enter or a click puts it on show.');
  return range;
}

// The tooltip beside the pointer at (x, y) in its box, turned to the other side of the pointer
// where it would run out of the box.
export function placeTip(tip, box, x, y) {
  tip.style.left = '0px';
  tip.style.top = '0px';
  const w = tip.offsetWidth, h = tip.offsetHeight;
  const width = box.clientWidth, height = box.clientHeight;
  let left = x + 12, top = y + 12;
  if (left + w > width) left = Math.max(0, Math.min(x - 12 - w, width - w));
  if (top + h > height) top = Math.max(0, y - 12 - h);
  tip.style.left = `${left}px`;
  tip.style.top = `${top}px`;
}

// "most cores (192)": the axes a searched best configuration sits at the end of; held
// dimensions never count. Empty when none, or when what is on show was not searched.
export function edgesText(state, model) {
  if (state.fields.feasible !== 'true') return '';
  const [cores, cache, scale] = state.indices;
  const held = state.held;
  const end = (h, index, count) => (h ? 0 : index === 0 ? -1 : index === count - 1 ? 1 : 0);
  const parts = [];
  const c = end(held[0], cores, model.core_counts.length);
  if (c) parts.push(`${c < 0 ? 'fewest' : 'most'} cores (${model.core_counts[cores]})`);
  const k = end(held[1], cache, model.cache_sizes.length);
  if (k) parts.push(`${k < 0 ? 'smallest' : 'largest'} L2 cache (${model.cache_sizes[cache]} MB)`);
  const s = end(held[2], scale, model.scale_steps.length);
  if (s) {
    const step = model.scale_steps[scale];
    const text = Number(step.toFixed(1)) === step ? step.toFixed(1) : String(step);
    parts.push(`${s < 0 ? 'first' : 'last'} scale step (${text})`);
  }
  return parts.join(', ');
}

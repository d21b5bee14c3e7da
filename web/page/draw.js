// The page's pictures on canvases: the design-space map (as the desktop map lays it out: core
// counts across, cache sizes up, the configurations that break a limit grey, a line where each
// limit cuts the space, the best configuration circled and the one on show in a square).
import { LIMIT_STYLES, scaleColour, greyLevel, scaleRange } from './map_style.js';
const MARGIN = { left: 52, right: 12, top: 10, bottom: 40 };

// Sizes the canvas to its box on screen, sharp on any pixel ratio. The box's width is read once
// and again only after a resize (resized()), so that drawing forces no layout.
const widths = new WeakMap();
export function resized() {
  widths.delete(document.getElementById('map'));
}
function fit(canvas, aspect) {
  if (!widths.has(canvas)) widths.set(canvas, Math.max(240, canvas.clientWidth || canvas.width));
  const width = widths.get(canvas);
  const height = Math.round(width * aspect);
  const ratio = window.devicePixelRatio || 1;
  if (canvas.width !== Math.round(width * ratio) || canvas.height !== Math.round(height * ratio)) {
    canvas.width = Math.round(width * ratio);
    canvas.height = Math.round(height * ratio);
    canvas.style.height = `${height}px`;
  }
  const g = canvas.getContext('2d');
  g.setTransform(ratio, 0, 0, ratio, 0, 0);
  return { g, width, height };
}

function layout(width, height, model) {
  const columns = model.core_counts.length, rows = model.cache_sizes.length;
  const w = (width - MARGIN.left - MARGIN.right) / columns;
  const h = (height - MARGIN.top - MARGIN.bottom) / rows;
  return {
    columns, rows, w, h,
    x: (cores) => MARGIN.left + cores * w,
    y: (cache) => MARGIN.top + (rows - 1 - cache) * h, // largest cache on top
  };
}

// Speedup to colour: the tool's scale, dark blue through teal and green to yellow.
function heat(t, pixel, at) {
  const [r, g, b] = scaleColour(t);
  pixel[at] = r;
  pixel[at + 1] = g;
  pixel[at + 2] = b;
  pixel[at + 3] = 255;
}

// The cells as one picture of a pixel each, scaled up without smoothing.
let cellPicture = null;

// The map; cursor, when given, is the (cache, cores) cell the keyboard is on.
export function drawMap(canvas, map, model, cursor = null) {
  const { g, width, height } = fit(canvas, 0.72);
  const L = layout(width, height, model);
  g.fillStyle = '#fff';
  g.fillRect(0, 0, width, height);
  const { feasibleTop, overallTop } = scaleRange(map);
  if (!cellPicture || cellPicture.width !== L.columns || cellPicture.height !== L.rows) {
    cellPicture = document.createElement('canvas');
    cellPicture.width = L.columns;
    cellPicture.height = L.rows;
  }
  const cg = cellPicture.getContext('2d');
  const image = cg.createImageData(L.columns, L.rows);
  for (let cache = 0; cache < L.rows; cache++) {
    for (let cores = 0; cores < L.columns; cores++) {
      const i = cache * L.columns + cores;
      const s = map.speedup[i] || 0;
      const at = ((L.rows - 1 - cache) * L.columns + cores) * 4;
      if (map.breaks[i]) {
        image.data.fill(greyLevel(s / overallTop), at, at + 3);
        image.data[at + 3] = 255;
      } else {
        heat(s / feasibleTop, image.data, at);
      }
    }
  }
  cg.putImageData(image, 0, 0);
  g.imageSmoothingEnabled = false;
  g.drawImage(cellPicture, L.x(0), L.y(L.rows - 1), L.columns * L.w, L.rows * L.h);
  // Each limit's line: the edges between a cell that breaks it and one that does not, in the
  // tool's colour and dash pattern. Each line is a little narrower than the one before it,
  // and dashes show the one beneath, so that where two limits cut the space along the same
  // edges both stay in sight.
  const paths = map.limits.map((limit, k) => {
    if (!limit) return null;
    const bit = 1 << k;
    return limitPath(L, (cache, cores) => (map.breaks[cache * L.columns + cores] & bit) !== 0);
  });
  // Plain path calls rather than Path2D, so that a recording context (a picture saved as SVG)
  // draws the same.
  const trace = (runs) => {
    g.beginPath();
    for (const run of runs) run.forEach(([x, y], i) => (i ? g.lineTo(x, y) : g.moveTo(x, y)));
  };
  g.strokeStyle = '#fff'; // a white casing under every line first, then the lines over it
  paths.forEach((runs, k) => {
    if (!runs) return;
    trace(runs);
    g.lineWidth = LIMIT_STYLES[k].width + 2;
    g.stroke();
  });
  paths.forEach((runs, k) => {
    if (!runs) return;
    const style = LIMIT_STYLES[k];
    trace(runs);
    g.setLineDash(style.dash);
    g.strokeStyle = style.colour;
    g.lineWidth = style.width;
    g.stroke();
  });
  g.setLineDash([]);
  const centre = ([cache, cores]) => [L.x(cores) + L.w / 2, L.y(cache) + L.h / 2];
  const size = Math.max(6, Math.min(L.w, L.h * 3));
  if (map.best) {
    const [x, y] = centre(map.best);
    g.beginPath();
    g.arc(x, y, size * 0.9, 0, 2 * Math.PI);
    g.strokeStyle = '#fff';
    g.lineWidth = 4;
    g.stroke();
    g.strokeStyle = '#000';
    g.lineWidth = 2;
    g.stroke();
  }
  if (map.shown) {
    const [x, y] = centre(map.shown);
    const half = size * 1.4;
    g.strokeStyle = '#fff';
    g.lineWidth = 4;
    g.strokeRect(x - half, y - half, 2 * half, 2 * half);
    g.strokeStyle = '#000';
    g.lineWidth = 2;
    g.strokeRect(x - half, y - half, 2 * half, 2 * half);
  }
  if (cursor) {
    // The keyboard's cell: a dashed frame, black on white, apart from the square on show.
    const [x, y] = centre(cursor);
    const half = Math.max(L.w, L.h) / 2 + 3;
    g.lineWidth = 4;
    g.strokeStyle = '#fff';
    g.strokeRect(x - half, y - half, 2 * half, 2 * half);
    g.setLineDash([3, 2]);
    g.lineWidth = 2;
    g.strokeStyle = '#000';
    g.strokeRect(x - half, y - half, 2 * half, 2 * half);
    g.setLineDash([]);
  }
  // Axes: core counts along the bottom, cache sizes up the left.
  g.fillStyle = '#222';
  g.font = '11px system-ui, sans-serif';
  g.textAlign = 'center';
  g.textBaseline = 'top';
  let end = -Infinity; // a label that would run into the one before is left out (narrow maps)
  for (const tick of map.core_ticks) {
    const k = model.core_counts.indexOf(tick);
    if (k < 0) continue;
    const x = L.x(k) + L.w / 2, half = g.measureText(String(tick)).width / 2;
    if (x - half < end + 4) continue;
    g.fillText(String(tick), x, height - MARGIN.bottom + 4);
    end = x + half;
  }
  g.fillText('cores', MARGIN.left + (width - MARGIN.left - MARGIN.right) / 2, height - 16);
  g.textAlign = 'right';
  g.textBaseline = 'middle';
  let below = Infinity;
  for (const tick of map.cache_ticks) {
    const k = model.cache_sizes.indexOf(tick);
    if (k < 0) continue;
    const y = L.y(k) + L.h / 2;
    if (y > below - 12) continue;
    g.fillText(String(tick), MARGIN.left - 4, y);
    below = y;
  }
  g.save();
  g.translate(12, MARGIN.top + (height - MARGIN.top - MARGIN.bottom) / 2);
  g.rotate(-Math.PI / 2);
  g.textAlign = 'center';
  g.fillText('L2 cache, MB', 0, 0);
  g.restore();
}

// A limit's line as joined-up runs of points, so that a dash pattern runs on along it rather than
// starting again at every cell. Grid corners are numbered (core boundary, cache boundary);
// the cell edges between a cell that breaks the limit and one that does not join at them.
function limitPath(L, breaks) {
  const ends = new Map(); // corner -> the corners it is joined to
  const key = (i, j) => i * (L.rows + 1) + j;
  const join = (a, b) => {
    for (const [p, q] of [[a, b], [b, a]]) {
      if (!ends.has(p)) ends.set(p, []);
      ends.get(p).push(q);
    }
  };
  for (let cache = 0; cache < L.rows; cache++) {
    for (let cores = 0; cores < L.columns; cores++) {
      const here = breaks(cache, cores);
      if (cores + 1 < L.columns && breaks(cache, cores + 1) !== here)
        join(key(cores + 1, cache), key(cores + 1, cache + 1));
      if (cache + 1 < L.rows && breaks(cache + 1, cores) !== here)
        join(key(cores, cache + 1), key(cores + 1, cache + 1));
    }
  }
  const point = (k) => [L.x(Math.floor(k / (L.rows + 1))), L.y(k % (L.rows + 1)) + L.h];
  const runs = [];
  // Walk from the loose ends first, then round what is left (closed loops).
  const starts = [...ends.keys()].sort((a, b) => ends.get(a).length - ends.get(b).length);
  for (const start of starts) {
    let at = start;
    if (!ends.get(at).length) continue;
    const run = [point(at)];
    while (ends.get(at).length) {
      const next = ends.get(at).pop();
      const back = ends.get(next);
      back.splice(back.indexOf(at), 1);
      run.push(point(next));
      at = next;
    }
    runs.push(run);
  }
  return runs;
}

// The (cache, cores) cell under a point of the canvas (CSS pixels), or null.
export function mapCellAt(canvas, model, x, y) {
  const L = layout(widths.get(canvas) || canvas.clientWidth, canvas.clientHeight, model);
  const cores = Math.floor((x - MARGIN.left) / L.w);
  const cache = L.rows - 1 - Math.floor((y - MARGIN.top) / L.h);
  if (cores < 0 || cores >= L.columns || cache < 0 || cache >= L.rows) return null;
  return [cache, cores];
}

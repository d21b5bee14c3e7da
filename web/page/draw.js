// The page's pictures on canvases: the design-space map (as the desktop map lays it out: core
// counts across, cache sizes up, the configurations that break a limit grey, a line where each
// limit cuts the space, the best configuration circled and the one on show in a square).
const LIMIT_COLOURS = ['#d62728', '#ff7f0e', '#1f77b4', '#c51bce'];
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

// Speedup to colour: dark blue through teal and green to yellow.
const STOPS = [[48, 18, 89], [33, 102, 140], [32, 160, 130], [120, 200, 70], [250, 230, 35]];
function heat(t, pixel, at) {
  const s = Math.max(0, Math.min(1, t)) * (STOPS.length - 1);
  const i = Math.min(STOPS.length - 2, Math.floor(s)), f = s - i;
  for (let k = 0; k < 3; k++) pixel[at + k] = Math.round(STOPS[i][k] + (STOPS[i + 1][k] - STOPS[i][k]) * f);
  pixel[at + 3] = 255;
}

// The cells as one picture of a pixel each, scaled up without smoothing.
let cellPicture = null;

export function drawMap(canvas, map, model) {
  const { g, width, height } = fit(canvas, 0.72);
  const L = layout(width, height, model);
  g.fillStyle = '#fff';
  g.fillRect(0, 0, width, height);
  let top = 0;
  for (const s of map.speedup) if (s !== null && s > top) top = s;
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
      const t = top > 0 ? s / top : 0;
      const at = ((L.rows - 1 - cache) * L.columns + cores) * 4;
      if (map.breaks[i]) {
        const grey = Math.round(150 + 70 * t);
        image.data.fill(grey, at, at + 3);
        image.data[at + 3] = 255;
      } else {
        heat(t, image.data, at);
      }
    }
  }
  cg.putImageData(image, 0, 0);
  g.imageSmoothingEnabled = false;
  g.drawImage(cellPicture, L.x(0), L.y(L.rows - 1), L.columns * L.w, L.rows * L.h);
  // Each limit's line: the edges between a cell that breaks it and one that does not.
  map.limits.forEach((limit, k) => {
    if (!limit) return;
    const bit = 1 << k;
    const breaks = (cache, cores) => (map.breaks[cache * L.columns + cores] & bit) !== 0;
    g.beginPath();
    for (let cache = 0; cache < L.rows; cache++) {
      for (let cores = 0; cores < L.columns; cores++) {
        const here = breaks(cache, cores);
        if (cores + 1 < L.columns && breaks(cache, cores + 1) !== here) {
          g.moveTo(L.x(cores + 1), L.y(cache));
          g.lineTo(L.x(cores + 1), L.y(cache) + L.h);
        }
        if (cache + 1 < L.rows && breaks(cache + 1, cores) !== here) {
          g.moveTo(L.x(cores), L.y(cache));
          g.lineTo(L.x(cores) + L.w, L.y(cache));
        }
      }
    }
    g.strokeStyle = '#fff';
    g.lineWidth = 4;
    g.stroke();
    g.strokeStyle = LIMIT_COLOURS[k];
    g.lineWidth = 2;
    g.stroke();
  });
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

// The (cache, cores) cell under a point of the canvas (CSS pixels), or null.
export function mapCellAt(canvas, model, x, y) {
  const L = layout(widths.get(canvas) || canvas.clientWidth, canvas.clientHeight, model);
  const cores = Math.floor((x - MARGIN.left) / L.w);
  const cache = L.rows - 1 - Math.floor((y - MARGIN.top) / L.h);
  if (cores < 0 || cores >= L.columns || cache < 0 || cache >= L.rows) return null;
  return [cache, cores];
}

// Taking results away: files saved from the page (the tool's CSV text as the engine writes it,
// and pictures), and the pictures themselves: the map and the budget curve drawn once more,
// with their legends, into SVG (a recording stand-in for a canvas's 2-D context, so that the
// same drawing code makes both) and into PNG (that SVG rasterised at twice the size).

// CSV as the tool writes it (fields quoted where they hold a comma, a quote or a line end):
// the header's names and a {name: text} per row.
export function parseCsv(text) {
  const records = [];
  let record = [], field = '', quoted = false;
  for (let i = 0; i < text.length; i++) {
    const c = text[i];
    if (quoted) {
      if (c === '"' && text[i + 1] === '"') field += text[++i];
      else if (c === '"') quoted = false;
      else field += c;
    } else if (c === '"') {
      quoted = true;
    } else if (c === ',') {
      record.push(field);
      field = '';
    } else if (c === '\n') {
      record.push(field);
      records.push(record);
      record = [];
      field = '';
    } else {
      field += c;
    }
  }
  if (field !== '' || record.length) records.push([...record, field]);
  const [names = [], ...rest] = records;
  const rows = rest.map((r) => Object.fromEntries(names.map((name, k) => [name, r[k] ?? ''])));
  return { names, rows };
}

// Hands a file to the browser's downloads.
export function saveFile(name, blob) {
  const a = document.createElement('a');
  a.href = URL.createObjectURL(blob);
  a.download = name;
  document.body.append(a);
  a.click();
  a.remove();
  setTimeout(() => URL.revokeObjectURL(a.href), 10000);
}

export function saveText(name, text, type = 'text/csv') {
  saveFile(name, new Blob([text], { type: `${type};charset=utf-8` }));
}

const xml = (text) => String(text).replace(/[<>&"']/g, (c) => `&#${c.charCodeAt(0)};`);
const n = (v) => String(Math.round(v * 100) / 100);

// The 2-D context calls the page's drawings make, written as SVG elements in CSS pixels (the
// pixel ratio a canvas is scaled by is left out). Paths take the transform in force when they
// are built, as a canvas's do.
class SvgContext {
  constructor() {
    this.parts = [];
    this.m = [1, 0, 0, 1, 0, 0];
    this.stack = [];
    this.d = '';
    this.dash = [];
    this.fillStyle = '#000';
    this.strokeStyle = '#000';
    this.lineWidth = 1;
    this.font = '10px sans-serif';
    this.textAlign = 'start';
    this.textBaseline = 'alphabetic';
    this.globalAlpha = 1;
    this.lineCap = 'butt';
    this.measurer = document.createElement('canvas').getContext('2d');
  }

  setTransform() { this.m = [1, 0, 0, 1, 0, 0]; }
  resetTransform() { this.setTransform(); }
  transform(a, b, c, d, e, f) {
    const [A, B, C, D, E, F] = this.m;
    this.m = [A * a + C * b, B * a + D * b, A * c + C * d, B * c + D * d, A * e + C * f + E, B * e + D * f + F];
  }
  translate(x, y) { this.transform(1, 0, 0, 1, x, y); }
  rotate(angle) { this.transform(Math.cos(angle), Math.sin(angle), -Math.sin(angle), Math.cos(angle), 0, 0); }
  scale(x, y) { this.transform(x, 0, 0, y, 0, 0); }
  save() {
    const { m, fillStyle, strokeStyle, lineWidth, font, textAlign, textBaseline, dash, globalAlpha } = this;
    this.stack.push({ m, fillStyle, strokeStyle, lineWidth, font, textAlign, textBaseline, dash, globalAlpha });
  }
  restore() { Object.assign(this, this.stack.pop() || {}); }
  at(x, y) {
    const [a, b, c, d, e, f] = this.m;
    return `${n(a * x + c * y + e)} ${n(b * x + d * y + f)}`;
  }
  setLineDash(dash) { this.dash = dash.slice(); }
  getLineDash() { return this.dash.slice(); }
  measureText(text) {
    this.measurer.font = this.font;
    return this.measurer.measureText(text);
  }

  beginPath() { this.d = ''; }
  moveTo(x, y) { this.d += `M${this.at(x, y)}`; }
  lineTo(x, y) { this.d += `L${this.at(x, y)}`; }
  closePath() { this.d += 'Z'; }
  rect(x, y, w, h) {
    this.moveTo(x, y);
    this.lineTo(x + w, y);
    this.lineTo(x + w, y + h);
    this.lineTo(x, y + h);
    this.closePath();
  }
  ellipse(x, y, rx, ry, rotation, from, to) {
    this.arc(x, y, Math.max(rx, ry), from, to); // the drawings' ellipses are circles
  }
  arc(x, y, r, from, to) {
    // Circles and arcs under a translation (the drawings rotate only text).
    const point = (angle) => this.at(x + r * Math.cos(angle), y + r * Math.sin(angle));
    if (Math.abs(to - from) >= 2 * Math.PI - 1e-9) {
      this.d += `M${point(from)}A${n(r)} ${n(r)} 0 1 1 ${point(from + Math.PI)}` +
                `A${n(r)} ${n(r)} 0 1 1 ${point(from)}`;
    } else {
      this.d += `${this.d ? 'L' : 'M'}${point(from)}A${n(r)} ${n(r)} 0 ${to - from > Math.PI ? 1 : 0} 1 ${point(to)}`;
    }
  }
  style(kind) {
    const alpha = this.globalAlpha < 1 ? ` opacity="${n(this.globalAlpha)}"` : '';
    if (kind === 'fill') return `fill="${xml(this.fillStyle)}"${alpha}`;
    const dash = this.dash.length ? ` stroke-dasharray="${this.dash.join(' ')}"` : '';
    const cap = this.lineCap && this.lineCap !== 'butt' ? ` stroke-linecap="${xml(this.lineCap)}"` : '';
    return `fill="none" stroke="${xml(this.strokeStyle)}" stroke-width="${n(this.lineWidth)}"${dash}${cap}${alpha}`;
  }
  stroke() { if (this.d) this.parts.push(`<path d="${this.d}" ${this.style('stroke')}/>`); }
  fill() { if (this.d) this.parts.push(`<path d="${this.d}" ${this.style('fill')}/>`); }
  fillRect(x, y, w, h) {
    const saved = this.d;
    this.beginPath();
    this.rect(x, y, w, h);
    this.fill();
    this.d = saved;
  }
  strokeRect(x, y, w, h) {
    const saved = this.d;
    this.beginPath();
    this.rect(x, y, w, h);
    this.stroke();
    this.d = saved;
  }
  clearRect() {}
  strokeText(text, x, y) {
    const fill = this.fillStyle;
    this.fillStyle = this.strokeStyle;
    this.fillText(text, x, y);
    this.fillStyle = fill;
  }
  fillText(text, x, y) {
    const anchor = { center: 'middle', right: 'end', end: 'end' }[this.textAlign] || 'start';
    const baseline = { top: 'text-before-edge', hanging: 'text-before-edge', middle: 'central',
      bottom: 'text-after-edge' }[this.textBaseline];
    const [a, b, c, d, e, f] = this.m;
    this.parts.push(`<text transform="matrix(${[a, b, c, d, e, f].map(n).join(' ')})" x="${n(x)}" ` +
      `y="${n(y)}" text-anchor="${anchor}"${baseline ? ` dominant-baseline="${baseline}"` : ''} ` +
      `style="font:${xml(this.font)}" fill="${xml(this.fillStyle)}">${xml(text)}</text>`);
  }
  // A picture (the map's cells, a pixel each) as rectangles, a run of equal colour at a time.
  drawImage(image, x, y, w, h) {
    // Read through a copy made for reading, so that the page's own picture stays as it is.
    const copy = document.createElement('canvas');
    copy.width = image.width;
    copy.height = image.height;
    const reader = copy.getContext('2d', { willReadFrequently: true });
    reader.drawImage(image, 0, 0);
    const data = reader.getImageData(0, 0, image.width, image.height).data;
    const cw = w / image.width, ch = h / image.height;
    const rects = [];
    for (let row = 0; row < image.height; row++) {
      for (let col = 0; col < image.width;) {
        const at = (row * image.width + col) * 4;
        let end = col + 1;
        while (end < image.width && data[at] === data[at + (end - col) * 4] &&
               data[at + 1] === data[at + (end - col) * 4 + 1] && data[at + 2] === data[at + (end - col) * 4 + 2]) end++;
        rects.push(`<rect x="${n(x + col * cw)}" y="${n(y + row * ch)}" width="${n((end - col) * cw)}" ` +
                   `height="${n(ch)}" fill="rgb(${data[at]},${data[at + 1]},${data[at + 2]})"/>`);
        col = end;
      }
    }
    this.parts.push(`<g shape-rendering="crispEdges">${rects.join('')}</g>`);
  }
}

// A line of text broken at spaces into lines no wider than width.
function wrapped(text, width, measure) {
  const lines = [];
  let line = '';
  for (const word of text.split(' ')) {
    const longer = line ? `${line} ${word}` : word;
    if (line && measure.measureText(longer).width > width) {
      lines.push(line);
      line = word;
    } else {
      line = longer;
    }
  }
  return line ? [...lines, line] : lines;
}

// A drawing made by draw(canvas) on a stand-in canvas of the given width (CSS pixels), with
// the legend's lines below it (and a colour ramp, {stops, from, to}, when given): SVG text.
export function pictureSvg(width, draw, legend, ramp = null) {
  const g = new SvgContext();
  const canvas = { width, height: 0, clientWidth: width, clientHeight: 0, style: {}, getContext: () => g };
  draw(canvas);
  const height = parseFloat(canvas.style.height) || canvas.height / (window.devicePixelRatio || 1);
  const lineHeight = 18;
  let y = height + 8;
  const extra = [];
  if (ramp) {
    const stops = ramp.stops.map((colour, k) =>
      `<stop offset="${n(k / (ramp.stops.length - 1))}" stop-color="${xml(colour)}"/>`).join('');
    extra.push(`<defs><linearGradient id="ramp">${stops}</linearGradient></defs>`,
      `<text x="8" y="${y + 12}" style="font:12px sans-serif">${xml(ramp.from)}</text>`,
      `<rect x="${8 + 7.5 * ramp.from.length + 6}" y="${y + 2}" width="160" height="12" fill="url(#ramp)" stroke="#666"/>`,
      `<text x="${8 + 7.5 * ramp.from.length + 172}" y="${y + 12}" style="font:12px sans-serif">${xml(ramp.to)}</text>`);
    y += lineHeight;
  }
  const measure = document.createElement('canvas').getContext('2d');
  measure.font = '12px sans-serif';
  for (const line of legend.flatMap((text) => wrapped(text, width - 16, measure))) {
    extra.push(`<text x="8" y="${y + 12}" style="font:12px sans-serif" fill="#222">${xml(line)}</text>`);
    y += lineHeight;
  }
  const total = Math.ceil(y + 6);
  return '<?xml version="1.0" encoding="UTF-8"?>\n' +
    `<svg xmlns="http://www.w3.org/2000/svg" width="${width}" height="${total}" viewBox="0 0 ${width} ${total}">\n` +
    `<rect width="100%" height="100%" fill="#fff"/>\n${g.parts.join('\n')}\n${extra.join('\n')}\n</svg>\n`;
}

// The same picture as PNG at twice the size; a Promise of the Blob.
export function svgToPng(svg) {
  return new Promise((resolve, reject) => {
    const image = new Image();
    image.onload = () => {
      const canvas = document.createElement('canvas');
      canvas.width = image.naturalWidth * 2;
      canvas.height = image.naturalHeight * 2;
      const g = canvas.getContext('2d');
      g.scale(2, 2);
      g.drawImage(image, 0, 0);
      canvas.toBlob((blob) => (blob ? resolve(blob) : reject(new Error('no PNG'))), 'image/png');
    };
    image.onerror = () => reject(new Error('the picture could not be drawn'));
    image.src = `data:image/svg+xml;charset=utf-8,${encodeURIComponent(svg)}`;
  });
}

// The map on show with its legend (the page's own legend list: each line, and the colour
// scale's ramp with its two ends), as SVG.
export function mapSvg(drawMap, map, model) {
  const legend = [], ramp = { stops: [], from: '', to: '' };
  let withRamp = false;
  for (const li of document.querySelectorAll('#map-legend li')) {
    const strip = li.querySelector('.ramp');
    if (!strip) {
      legend.push(li.textContent.trim());
      continue;
    }
    withRamp = true;
    ramp.stops = getComputedStyle(strip).backgroundImage.match(/rgba?\([^)]*\)/g) || ['#000', '#fff'];
    const [from, to] = [strip.previousSibling, strip.nextSibling].map((node) => (node ? node.textContent.trim() : ''));
    Object.assign(ramp, { from, to });
    // What the scale spans, the line under the ramp, goes first among the legend's lines.
    let said = '';
    for (let node = strip.nextSibling && strip.nextSibling.nextSibling; node; node = node.nextSibling)
      said += node.textContent;
    if (said.trim()) legend.unshift(said.trim());
  }
  const title = [document.getElementById('map-title').textContent,
    document.getElementById('map-subtitle').textContent].filter((t) => t).join(' · ');
  return pictureSvg(720, (canvas) => drawMap(canvas, map, model), [title, ...legend], withRamp ? ramp : null);
}

// The download buttons, each with where its content comes from: CSV texts and SVG texts
// (a PNG is the SVG rasterised). A source answers '' when there is nothing to save.
export function setupDownloads(sources) {
  const csv = { 'download-figures-csv': ['figures.csv', sources.figuresCsv],
    'download-compare-csv': ['comparison.csv', sources.compareCsv],
    'download-budget-csv': ['budget.csv', sources.budgetCsv] };
  for (const [id, [name, text]] of Object.entries(csv)) {
    document.getElementById(id).addEventListener('click', () => {
      const content = text();
      if (content) saveText(name, content);
    });
  }
  const pictures = { map: ['map', sources.mapSvg], curve: ['budget-curve', sources.curveSvg] };
  for (const [id, [name, svg]] of Object.entries(pictures)) {
    document.getElementById(`download-${id}-svg`).addEventListener('click', () => {
      try {
        const content = svg();
        if (content) saveText(`${name}.svg`, content, 'image/svg+xml');
      } catch (error) {
        sources.failed(`${name}.svg: ${error.message}`);
      }
    });
    document.getElementById(`download-${id}-png`).addEventListener('click', async () => {
      try {
        const content = svg();
        if (content) saveFile(`${name}.png`, await svgToPng(content));
      } catch (error) {
        sources.failed(`${name}.png: ${error.message}`);
      }
    });
  }
}

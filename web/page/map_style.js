// The map's colours as the command-line tool's plot draws them: the speedup scale (sampled at
// nine points, dark blue to yellow), the grey of a configuration that breaks a limit, and each
// limit line's colour and dash pattern. The scale spans the configurations that meet the
// limits; a greyed configuration is shaded against the highest speedup of all.
const SCALE = [
  [0.267, 0.004, 0.329], [0.278, 0.173, 0.478], [0.231, 0.322, 0.545],
  [0.173, 0.447, 0.557], [0.129, 0.569, 0.549], [0.153, 0.678, 0.506],
  [0.369, 0.788, 0.384], [0.667, 0.863, 0.196], [0.992, 0.906, 0.145],
];
const byte = (level) => Math.round(level * 255);

// t from 0 to 1 (NaN reads as 0) to [r, g, b] bytes.
export function scaleColour(t) {
  t = Math.min(1, Math.max(0, Number.isNaN(t) ? 0 : t));
  const position = t * (SCALE.length - 1);
  const low = Math.min(Math.trunc(position), SCALE.length - 2), f = position - low;
  return [0, 1, 2].map((c) => byte(SCALE[low][c] + (SCALE[low + 1][c] - SCALE[low][c]) * f));
}

export function greyLevel(t) {
  return byte(0.45 + 0.45 * Math.min(1, Math.max(0, Number.isNaN(t) ? 0 : t)));
}

// The CSS gradient of the legend's colour bar.
export const SCALE_GRADIENT = `linear-gradient(to right, ${SCALE.map(
  (c) => `rgb(${c.map(byte).join(',')})`).join(', ')})`;

// area, power, off-chip bandwidth, TSV bandwidth: the plot's colours and dashes; the widths
// narrow from one to the next (draw.js).
export const LIMIT_STYLES = [
  { colour: '#db1414', dash: [], width: 4.5, name: 'solid red' },
  { colour: '#ff8000', dash: [7, 4], width: 3.5, name: 'dashed orange' },
  { colour: '#d926d9', dash: [2.5, 2.5], width: 2.5, name: 'dotted magenta' },
  { colour: '#000000', dash: [9, 3], width: 2, name: 'long-dashed black' },
];

// The colour scale's top: the highest speedup of the configurations that meet the limits
// (with none, or all at 0, the highest of all; with all at 0, 1), as the tool's plot takes it.
export function scaleRange(map) {
  let feasibleTop = 0, overallTop = 0, feasible = 0;
  map.speedup.forEach((s, i) => {
    if (!(s > overallTop) && !(s <= overallTop)) return; // NaN
    overallTop = Math.max(overallTop, s);
    if (!map.breaks[i]) {
      feasible++;
      feasibleTop = Math.max(feasibleTop, s);
    }
  });
  overallTop = overallTop > 0 && Number.isFinite(overallTop) ? overallTop : 1;
  const nominal = !(feasibleTop > 0 && Number.isFinite(feasibleTop));
  return { feasibleTop: nominal ? overallTop : feasibleTop, overallTop, feasible, nominal };
}

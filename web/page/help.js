// A short help text for every control and figure, shown on hover (title) and, for the control
// that has the keyboard or the pointer, in the help line under the options; each names the
// section of the model's equations (model.html) that works the figure out.
export const MODEL_PAGE = 'model.html';

const HELP = [
  ['model-file', 'the-model-file',
    'Reads a model file (TOML) from your disk: the same figures with your own numbers. A file ' +
    'that is refused changes nothing.'],
  ['export-model', 'the-model-file',
    'Saves the model in use as model.toml, every figure with its meaning and unit, to change ' +
    'and open again.'],
  ['option-0', 'l2-miss-rate',
    'The program the chip runs. Each workload has its own miss rates and share of parallel ' +
    'work.'],
  ['option-1', 'the-memory-stacks-capacity-and-miss-rate',
    'Plain memory, or memory stacked on the chip (3D) and reached through TSVs, through-silicon' +
    ' vias: short vertical wires with a bandwidth limit of their own.'],
  ['option-2', 'notation',
    'The transistors of the cores and of the L2 cache: LOP (low operating power), HP (high ' +
    'performance, fast and leaky), or LOP/HP: HP cores with a LOP cache.'],
  ['option-3', 'die-area',
    'The kind of core: its area, performance and power per core.'],
  ['option-4', 'what-the-built-in-figures-are',
    'The manufacturing process. Each node brings its own limits (they load into the four boxes ' +
    'below).'],
  ['best', 'the-searches',
    'Searches every core count, cache size and scale step for the highest speedup that meets ' +
    'all four limits (locked sliders stay where they are).'],
  ['best-again', 'the-searches',
    'Searches for the best configuration within the options and limits now in force.'],
  ['slider-0', 'the-searches',
    'The core count. Moving it holds that count and searches the rest.'],
  ['slider-1', 'the-searches',
    'The L2 cache size in MB. Moving it holds that size and searches the rest.'],
  ['slider-5', 'operating-point-voltage-and-frequency-scaling',
    'The supply voltage Vdd of the scale step on show. Lower supply: lower frequency and much ' +
    'lower power.'],
  ['slider-4', 'operating-point-voltage-and-frequency-scaling',
    'The clock frequency in GHz, up to what the supply allows.'],
  ['lock-0', 'the-searches',
    'Keeps the core count where it is while other sliders or "Best Performance" search.'],
  ['lock-1', 'the-searches',
    'Keeps the cache size where it is while other sliders or "Best Performance" search.'],
  ['lock-2', 'operating-point-voltage-and-frequency-scaling',
    'Keeps the supply voltage (and the scale step) where it is; the frequency then follows the ' +
    'supply.'],
  ['speedup-meter', 'what-a-speedup-of-1-means',
    'Performance: the speedup of the configuration on show over one core of the same kind, ' +
    'running alone.'],
  ['gauge', 'speedup',
    'The gauge: the speedup on show as a percentage of the latest best (the best within the ' +
    'limits, found when the options or limits changed or by the latest search). 100 % means ' +
    'nothing better was found.'],
  ['limit-2', 'die-area',
    'Area limit in mm²: the die may not be larger. 0 to 1000.'],
  ['limit-3', 'power',
    'Power limit in W: the chip may not draw more. 0 to 1000.'],
  ['limit-4', 'bandwidth-demand',
    'Off-chip bandwidth limit in GB/s: the traffic to memory the chip may need. 0 to 1000.'],
  ['limit-5', 'bandwidth-demand',
    'TSV bandwidth limit in GB/s, with 3D memory only: the traffic through the vias to the ' +
    'stacked memory. 0 to 1000.'],
  ['map', 'the-searches',
    'Speedup of every core count and cache size at the scale step on show. Grey: breaks a ' +
    'limit. Arrow keys move a cursor; Enter or a click puts that design on show.'],
  ['explain', 'the-searches',
    'For each limit: its value, the figure at the optimum, the slack between them, and whether ' +
    'relaxing it by 10 % changes the optimum (it binds).'],
  ['budget-limit', 'the-searches',
    'Which limit the budget curve varies; the rest stay as on show.'],
  ['budget', 'the-searches',
    'The best speedup as the chosen limit varies; the dashed line is the limit in force.'],
];

// Captions of explain's columns.
const EXPLAIN_COLUMNS = [
  'The limit.', 'The limit in force.', 'The figure of the best configuration.',
  'Slack: the limit less the figure, how much is left unused.',
  'Binds: relaxing this limit alone by 10 % changes the best configuration. A limit with ' +
  'slack can bind: the design space is a grid, so the next better configuration may need ' +
  'more than the slack left.',
  'The limit relaxed by 10 %.', 'The best speedup with this limit relaxed.',
  'The gain of that speedup over the best now.',
  'The smallest value of this limit at which the best configuration changes.',
];

export function installHelp() {
  const line = document.getElementById('help-text'), link = document.getElementById('help-more');
  for (const [id, section, text] of HELP) {
    const el = document.getElementById(id);
    if (!el) continue;
    el.title = text;
    el.dataset.help = section;
    const show = () => {
      line.textContent = text;
      link.href = `${MODEL_PAGE}#${section}`;
    };
    el.addEventListener('focus', show);
    el.addEventListener('mouseenter', show);
  }
  document.querySelectorAll('#explain thead th').forEach((th, i) => {
    th.title = EXPLAIN_COLUMNS[i] || '';
  });
}

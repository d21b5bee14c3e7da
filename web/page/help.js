// A short help text for every control and figure, shown on hover (title) and, for the control
// that has the keyboard or the pointer, in the help line under the options; each names the
// section of the model's equations (model.html) that works the figure out.
export const MODEL_PAGE = 'model.html';

const HELP = [
  ['model-file', 'Reads a model file (TOML) from your disk: the same figures with your own numbers. A file that is refused changes nothing.', 'the-model-file'],
  ['export-model', 'Saves the model in use as model.toml, every figure with its meaning and unit, to change and open again.', 'the-model-file'],
  ['option-0', 'The program the chip runs. Each workload has its own miss rates and share of parallel work.', 'l2-miss-rate'],
  ['option-1', 'Plain memory, or memory stacked on the chip (3D) and reached through TSVs, through-silicon vias: short vertical wires with a bandwidth limit of their own.', 'the-memory-stacks-capacity-and-miss-rate'],
  ['option-2', 'The transistors of the cores and of the L2 cache: LOP (low operating power), HP (high performance, fast and leaky), or LOP/HP: HP cores with a LOP cache.', 'notation'],
  ['option-3', 'The kind of core: its area, performance and power per core.', 'die-area'],
  ['option-4', 'The manufacturing process. Each node brings its own limits (they load into the four boxes below).', 'what-the-built-in-figures-are'],
  ['best', 'Searches every core count, cache size and scale step for the highest speedup that meets all four limits (locked sliders stay where they are).', 'the-searches'],
  ['best-again', 'Searches for the best configuration within the options and limits now in force.', 'the-searches'],
  ['slider-0', 'The core count. Moving it holds that count and searches the rest.', 'the-searches'],
  ['slider-1', 'The L2 cache size in MB. Moving it holds that size and searches the rest.', 'the-searches'],
  ['slider-5', 'The supply voltage Vdd of the scale step on show. Lower supply: lower frequency and much lower power.', 'operating-point-voltage-and-frequency-scaling'],
  ['slider-4', 'The clock frequency in GHz, up to what the supply allows.', 'operating-point-voltage-and-frequency-scaling'],
  ['lock-0', 'Keeps the core count where it is while other sliders or "Best Performance" search.', 'the-searches'],
  ['lock-1', 'Keeps the cache size where it is while other sliders or "Best Performance" search.', 'the-searches'],
  ['lock-2', 'Keeps the supply voltage (and the scale step) where it is; the frequency then follows the supply.', 'operating-point-voltage-and-frequency-scaling'],
  ['speedup-meter', 'Performance: the speedup of the configuration on show over one core of the same kind, running alone.', 'what-a-speedup-of-1-means'],
  ['gauge', 'The gauge: the speedup on show as a percentage of the latest best (the best within the limits, found when the options or limits changed or by the latest search). 100 % means nothing better was found.', 'speedup'],
  ['limit-2', 'Area limit in mm²: the die may not be larger. 0 to 1000.', 'die-area'],
  ['limit-3', 'Power limit in W: the chip may not draw more. 0 to 1000.', 'power'],
  ['limit-4', 'Off-chip bandwidth limit in GB/s: the traffic to memory the chip may need. 0 to 1000.', 'bandwidth-demand'],
  ['limit-5', 'TSV bandwidth limit in GB/s, with 3D memory only: the traffic through the vias to the stacked memory. 0 to 1000.', 'bandwidth-demand'],
  ['map', 'Speedup of every core count and cache size at the scale step on show. Grey: breaks a limit. Arrow keys move a cursor; Enter or a click puts that design on show.', 'the-searches'],
  ['explain', 'For each limit: its value, the figure at the optimum, the slack between them, and whether relaxing it by 10 % changes the optimum (it binds).', 'the-searches'],
  ['budget-limit', 'Which limit the budget curve varies; the rest stay as on show.', 'the-searches'],
  ['budget', 'The best speedup as the chosen limit varies; the dashed line is the limit in force.', 'the-searches'],
];

// Captions of explain's columns.
const EXPLAIN_COLUMNS = [
  'The limit.', 'The limit in force.', 'The figure of the best configuration.',
  'Slack: the limit less the figure, how much is left unused.',
  'Binds: relaxing this limit alone by 10 % changes the best configuration. A limit with slack can bind: the design space is a grid, so the next better configuration may need more than the slack left.',
  'The limit relaxed by 10 %.', 'The best speedup with this limit relaxed.',
  'The gain of that speedup over the best now.',
  'The smallest value of this limit at which the best configuration changes.',
];

export function installHelp() {
  const line = document.getElementById('help-text'), link = document.getElementById('help-more');
  for (const [id, text, section] of HELP) {
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

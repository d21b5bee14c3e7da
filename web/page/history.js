// Links and the session's history: a link's parameters read as the command-line tool reads its
// arguments (each once, decimal numbers only, a supply and frequency the options allow), and a
// history entry per action so that Back, Forward and "Undo" step through what a student did.

// A number as the tool reads one: an optional sign, digits with at most one point, an optional
// exponent; nothing else ("0x8", "0b1000", "Infinity", "1e400" are not numbers). Null if not.
export function toolNumber(text) {
  if (!/^[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?$/.test(text)) return null;
  const value = Number(text);
  if (!Number.isFinite(value)) return null;
  return value === 0 ? 0 : value; // "-0" is 0, as the tool prints it
}

// The longest parameter a link may hold (twenty pinned designs take about 3,000 characters):
// texts reach the engine whole, and a megabyte of digits is no one's number.
export const LONGEST_PARAMETER = 20000;

// The link's parameters, each given once. A name given more than once is refused whole (and
// named in problems): which of its values was meant cannot be known. So is a value longer than
// LONGEST_PARAMETER.
export function singleParams(search, problems) {
  const params = new URLSearchParams(search);
  const counts = new Map();
  for (const name of params.keys()) counts.set(name, (counts.get(name) || 0) + 1);
  for (const [name, count] of counts) {
    const length = params.get(name).length;
    if (count > 1) {
      const values = params.getAll(name).map((v) => (v.length > 40 ? `${v.slice(0, 40)}…` : v));
      problems.push(`${name}: given ${count} times (${values.join(', ')}); accepted: each parameter once`);
    } else if (length > LONGEST_PARAMETER) {
      problems.push(`${name.slice(0, 40)}: ${length} characters long; accepted: at most ` +
                    `${LONGEST_PARAMETER.toLocaleString('en')}`);
    } else {
      continue;
    }
    params.delete(name);
  }
  return params;
}

// A held supply and frequency checked as the tool checks --vdd and --freq: `base` is the request
// they go with (a line per "name=value": the options the link leaves on show and the held scale
// step; without one, the highest step, whose frequency is the most any step allows) and
// `check(request)` the engine's reading of a request (an error naming the parameter, or '').
// A frequency is also taken up to the held step's own: a search leaves a step at its own
// frequency with the supply raised to the floor, and its link must open that view again.
// Returns the texts accepted (null for one refused or not given).
export function checkedOperatingPoint(params, base, check, problems) {
  const accepted = { vdd: null, freq: null };
  for (const name of ['vdd', 'freq']) {
    if (!params.has(name)) continue;
    const text = params.get(name).trim();
    if (toolNumber(text) === null) {
      problems.push(`${name}: ${params.get(name)} is not a number; accepted: a number above 0`);
      continue;
    }
    const lines = [...base, ...(accepted.vdd !== null ? [`vdd=${accepted.vdd}`] : []), `${name}=${text}`];
    let error = check(lines.join('\n'));
    if (error && name === 'freq' && accepted.vdd !== null && !check([...base, `freq=${text}`].join('\n')))
      error = '';
    if (error) problems.push(error);
    else accepted[name] = text;
  }
  return accepted;
}

// One entry per action: the page's address after each action is pushed, so that Back steps to
// the view before it. The first address of a page load (or of a view restored from history)
// replaces the entry instead. `step` counts the entries this session pushed before the one on
// show; "Undo" is Back while there is one.
let step = 0;
let undoButton = null;

export function startHistory(button, restore) {
  undoButton = button;
  step = (history.state && Number.isInteger(history.state.step)) ? history.state.step : 0;
  button.addEventListener('click', () => {
    if (step > 0) history.back();
  });
  window.addEventListener('popstate', (event) => {
    step = (event.state && Number.isInteger(event.state.step)) ? event.state.step : 0;
    restore(location.search);
    showUndo();
  });
  showUndo();
}

function showUndo() {
  if (!undoButton) return;
  const focused = document.activeElement === undoButton;
  undoButton.disabled = step === 0;
  // Undone down to the first view from the keyboard: the focus stays beside the button rather
  // than falling to the page's start.
  if (focused && undoButton.disabled) undoButton.previousElementSibling?.focus();
}

// The address of the view on show; pushed as a new entry unless `replace` (or unchanged).
export function recordView(url, replace) {
  const current = location.pathname + location.search;
  if (replace || url === current) {
    history.replaceState({ step }, '', url);
  } else {
    step += 1;
    history.pushState({ step }, '', url);
  }
  showUndo();
}

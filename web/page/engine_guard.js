// The page's engine (engine.js, WebAssembly) behind one guard.
//
// Text reaches the engine through its heap, as bytes and a length: never on its stack, which a
// model file of a megabyte or a number of a million digits would overrun, and with NUL bytes
// and bytes that are not UTF-8 kept, so that the engine reads a file as the program does.
//
// A call that traps (a WebAssembly.RuntimeError: the engine's memory can no longer be trusted)
// is reported once and the engine replaced by a fresh one, brought to the state on show: the
// model file in use loaded again and every action since replayed, but the one that trapped.
// Until the fresh engine is ready, actions are refused and the other calls answer as before the
// trap (the state has not changed since).

const encoder = new TextEncoder();

// The calls of one engine instance, with text as heap bytes.
function bind(engine) {
  const raw = {
    restart: engine.cwrap('web_restart', null, []),
    act: engine.cwrap('web_act', 'string', ['number', 'number']),
    model: engine.cwrap('web_model', 'string', []),
    map: engine.cwrap('web_map', 'string', []),
    speedups: engine.cwrap('web_map_speedups', 'number', []),
    cell: engine.cwrap('web_map_cell', 'string', ['number', 'number']),
    explain: engine.cwrap('web_explain', 'string', ['number']),
    budget: engine.cwrap('web_budget', 'string', ['number', 'number', 'number', 'number']),
    load: engine.cwrap('web_load_model', 'string', ['number', 'number', 'number', 'number']),
    readBytes: engine.cwrap('web_model_file_read_bytes', 'number', []),
    scanStep: engine.cwrap('web_scan_step', 'string', ['number']),
    exportModel: engine.cwrap('web_export_model', 'string', []),
    trapOnNextAction: engine.cwrap('web_test_trap_on_next_action', null, []),
    requestCsv: engine.cwrap('web_request_csv', 'string', ['number', 'number']),
    budgetCsv: engine.cwrap('web_budget_csv', 'string',
      ['number', 'number', 'number', 'number', 'number']),
    numberText: engine.cwrap('web_test_number_text', 'string', ['number', 'number']),
  };
  // Each byte array copied into the heap for one call (as a pointer and a length), freed after.
  const withBytes = (arrays, call) => {
    const pointers = [];
    try {
      for (const bytes of arrays) {
        const p = engine._malloc(Math.max(bytes.length, 1));
        if (p === 0) throw new RangeError(`no room in the engine for ${bytes.length} bytes`);
        pointers.push(p);
        engine.HEAPU8.set(bytes, p); // read after the allocation: the heap may have grown
      }
      return call(...pointers.flatMap((p, i) => [p, arrays[i].length]));
    } finally {
      for (const p of pointers) engine._free(p);
    }
  };
  return {
    ...raw,
    act: (line) => withBytes([encoder.encode(line)], raw.act),
    load: (bytes, name) => withBytes([bytes, encoder.encode(name)], raw.load),
    requestCsv: (request) => withBytes([encoder.encode(request)], raw.requestCsv),
    budgetCsv: (request, vary, checkOnly) => withBytes(
      [encoder.encode(request), encoder.encode(vary)],
      (...pointers) => raw.budgetCsv(...pointers, checkOnly)),
    // For the page's tests: doubles whose number text the engine writes two ways (numberText).
    numberText: (values) => {
      const p = engine._malloc(Math.max(values.length, 1) * 8);
      try {
        engine.HEAPF64.set(values, p / 8);
        return raw.numberText(p, values.length);
      } finally {
        engine._free(p);
      }
    },
    speedups: (count) => {
      const at = raw.speedups() / 8;
      return engine.HEAPF64.slice(at, at + count);
    },
  };
}

// The calls without arguments, whose latest answer stands in while a fresh engine is made.
const KEPT = new Set(['model', 'map', 'speedups', 'exportModel']);

const isTrap = (error) => error instanceof WebAssembly.RuntimeError;

// Starts the engine; resolves to its calls, named as bind's. `report(text)` shows a message once
// per trap outside an action or a model load (those answer with it); `restarted()` is called once
// a fresh engine stands in for one that trapped.
export async function startEngine(createEngine, { report, restarted }) {
  let calls = bind(await createEngine());
  let opened = null; // the model file in use: { bytes, name }
  let actions = []; // every action done since it was opened (or since the start)
  let restarting = null; // the fresh engine while it is made
  const last = {}; // the latest answer of the calls that only read what is on show

  const why = (error, what) =>
    `The engine stopped (${error.message || error}) ${what}; it is restarted with what is on show.`;

  // A fresh engine, brought to the state on show. A trap while it is brought there leaves the
  // page without an engine: that is said, and the page must be reloaded.
  const restart = () => {
    restarting = createEngine().then((engine) => {
      const fresh = bind(engine);
      try {
        fresh.restart();
        if (opened) fresh.load(opened.bytes, opened.name);
        for (const line of actions) fresh.act(line);
      } catch (error) {
        report(`The engine could not be restarted (${error.message || error}); reload the page.`);
        return;
      }
      calls = fresh;
      restarting = null;
      restarted();
    }).catch((error) => {
      report(`The engine could not be restarted (${error.message || error}); reload the page.`);
    });
  };

  // A call that only reads: on a trap, and until the fresh engine is ready, `otherwise`, or for
  // the calls without arguments the answer they gave last.
  const reading = (name, otherwise) => (...args) => {
    if (!restarting) {
      try {
        const answer = calls[name](...args);
        if (KEPT.has(name)) last[name] = answer;
        return answer;
      } catch (error) {
        if (!isTrap(error)) throw error;
        report(why(error, `while answering the page (${name})`));
        restart();
      }
    }
    return name in last ? last[name] : otherwise;
  };

  const refusal = (text) => JSON.stringify({ error: text });
  return {
    // The explorer afresh on the model in use: the actions before it are not replayed again.
    restart: () => {
      calls.restart();
      actions = [];
    },
    // An action; one the engine did not do answers with "not_done" (and no state).
    act: (line) => {
      if (restarting) {
        return JSON.stringify({ error: 'the engine is being restarted; nothing was done',
          not_done: true });
      }
      try {
        const answer = calls.act(line);
        actions.push(line);
        return answer;
      } catch (error) {
        if (!isTrap(error)) throw error;
        restart();
        const shown = line.length > 40 ? `${line.slice(0, 40)}...` : line;
        return JSON.stringify({
          error: `${why(error, `on "${shown}"`)} That action is not done.`,
          not_done: true,
        });
      }
    },
    // A model file's bytes; a file that loads replaces the one in use, and the actions since.
    load: (bytes, name) => {
      const refused = (text) => JSON.stringify({ ok: false, errors: [text], warnings: [] });
      if (restarting) return refused('the engine is being restarted; the file is not read');
      try {
        const answer = calls.load(bytes, name);
        const read = JSON.parse(answer);
        if (read.ok) {
          opened = { bytes, name };
          actions = [];
        }
        // The engine refused the call itself (it ran out of memory, say): why, as the reader's.
        return read.errors ? answer : refused(read.error);
      } catch (error) {
        if (!isTrap(error)) throw error;
        restart();
        return refused(why(error, `reading ${name}`));
      }
    },
    model: reading('model', '{}'),
    map: reading('map', '{}'),
    speedups: reading('speedups', new Float64Array(0)),
    cell: reading('cell', ''),
    explain: reading('explain', refusal('the engine is being restarted')),
    budget: reading('budget', refusal('the engine is being restarted')),
    requestCsv: reading('requestCsv', refusal('the engine is being restarted')),
    budgetCsv: reading('budgetCsv', refusal('the engine is being restarted')),
    exportModel: reading('exportModel', ''),
    scanStep: reading('scanStep', JSON.stringify({ done: true, notice: '' })),
    readBytes: () => calls.readBytes(),
    // For the page's tests: the next action traps, as a fault in the engine would.
    trapOnNextAction: () => calls.trapOnNextAction(),
    // For the page's tests: the first of these doubles whose number text with the browser's
    // digits differs from the C library's, or "".
    numberText: (values) => calls.numberText(Float64Array.from(values)),
  };
}

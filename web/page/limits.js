// Reading a typed limit. The window's spin buttons take 0 to 1000; a number outside that
// range, or text that is not a number, is refused with what is accepted, never clamped or
// read as some other number. A decimal comma ("12,5") is read as the decimal point it means;
// a comma that could also separate thousands ("1,000") is refused as ambiguous.
export const LIMIT_CAPTIONS = ['Area limit', 'Power limit', 'Off-chip bandwidth limit',
  'TSV bandwidth limit'];
export const LIMIT_UNITS = ['mm²', 'W', 'GB/s', 'GB/s'];
export const LIMIT_LOW = 0, LIMIT_HIGH = 1000;

const NUMBER = /^[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?$/;

// { text } to hand to the engine, or { error } naming the limit, what was typed, what is
// accepted and that the limit stays as it was (current, the limit in force).
export function readLimit(index, typed, current) {
  const caption = LIMIT_CAPTIONS[index], unit = LIMIT_UNITS[index];
  const accepted = `accepted: a number from ${LIMIT_LOW} to ${LIMIT_HIGH} (${unit})`;
  const refuse = (why) => ({ error: `${caption}: ${why}; ${accepted}; it stays ${current} ${unit}.` });
  let text = typed.trim();
  if (text === '') return refuse('nothing typed');
  // What was typed, named in the message; a very long text by its start and length.
  const said = text.length > 40 ? `${text.slice(0, 24)}… (${text.length} characters)` : text;
  const comma = /^([+-]?\d*),(\d+)$/.exec(text);
  if (comma) {
    if (comma[2].length === 3 && /[1-9]/.test(comma[1]))
      return refuse(`'${said}' is ambiguous (a decimal comma or a thousands separator?); ` +
        'write it with a decimal point, or without the comma');
    text = `${comma[1] || '0'}.${comma[2]}`;
  }
  if (!NUMBER.test(text) || !Number.isFinite(Number(text)))
    return refuse(`'${said}' is not a number`);
  const value = Number(text);
  if (value < LIMIT_LOW || value > LIMIT_HIGH) return refuse(`${said} is out of range`);
  return { text };
}

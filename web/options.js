// What the page works out for itself between the engine and the form: the
// converter's argument list from an options object, the names of the
// files, and which report lines are warnings.
// Every value and limit comes from the engine; nothing here knows one.

// {machine: 'dmx', rate: 27200, trim: true, 'no-cut': false} becomes
// ['--machine', 'dmx', '--rate', '27200', '--trim']: the keys are the
// converter's long options without the dashes, a flag is true or left out,
// an empty value is "the default" and left out. The converter's own parser
// judges the rest, so the page's errors are the converter's.
export function toArguments(options = {}) {
  const args = [];
  for (const [key, value] of Object.entries(options)) {
    if (value === false || value === null || value === undefined || value === '') continue;
    args.push(`--${key}`);
    if (value !== true) args.push(String(value));
  }
  return args;
}

// The image of "kick.wav" is "kick.bin", as the README's example names it.
export function imageName(sample) {
  const dot = sample.lastIndexOf('.');
  return `${dot > 0 ? sample.slice(0, dot) : sample}.bin`;
}

// A multi-chip image's files in address order: kick-2.bin before kick-10.bin.
export function chipOrder(names) {
  return [...names].sort((a, b) => a.localeCompare(b, 'en', { numeric: true }));
}

// The report lines that say sound was lost (prepare: samples clipped or not
// numbers, the end of the sound cut off to fit the region), and info's
// warnings.
export function isWarning(line) {
  return /^\s*warning: /.test(line) || /^Clipped: [1-9]/.test(line) || /^Non-finite samples: [1-9]/.test(line) ||
    (/^Kept: /.test(line) && !/; cut: 0$/.test(line));
}

// The page's own logic between the form and the engine (web/options.js).
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { toArguments, imageName, chipOrder, isWarning } from '../../web/options.js';

test('options become the converter argument list', () => {
  // A flag given a value ("--trim true") would make the converter take
  // "true" for a file name; an unset field must not pass an empty value.
  assert.deepEqual(toArguments({ machine: 'dmx', rate: 27200, trim: true, 'no-cut': false, gain: '' }),
    ['--machine', 'dmx', '--rate', '27200', '--trim']);
});

test('names of the files', () => {
  for (const [sample, image] of [['kick.wav', 'kick.bin'], ['a.b.aiff', 'a.b.bin'], ['.wav', '.wav.bin'], ['snare', 'snare.bin']])
    assert.equal(imageName(sample), image, sample);
  assert.deepEqual(chipOrder(['k-10.bin', 'k-2.bin', 'k-1.bin']), ['k-1.bin', 'k-2.bin', 'k-10.bin']);
});

test('warnings are the lines that say sound was lost', () => {
  const lines = { 'Clipped: 0 samples': false, 'Clipped: 12 samples': true, 'Non-finite samples: 0': false,
    'Kept: 4095 samples (150.6 ms); cut: 0': false, 'Kept: 4095 samples (150.6 ms); cut: 9 samples (0.3 ms)': true,
    '  warning: a DC offset of 2%': true, 'Peak: -0.1 dBFS; gain: +0.1 dB (1.01)': false };
  for (const [line, warn] of Object.entries(lines)) assert.equal(isWarning(line), warn, line);
});

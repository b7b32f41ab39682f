// The page's pictures, on canvases: a waveform as the lowest and highest
// sample of each column, coloured by what happens to that stretch.

// The lowest and highest of samples[from, to).
function span(samples, from, to) {
  let lo = 0;
  let hi = 0;
  for (let i = from; i < to; i++) {
    const v = samples[i];
    if (v < lo) lo = v;
    if (v > hi) hi = v;
  }
  return [lo, hi];
}

// Draws `samples` (full scale +-1) across the canvas. `colourAt(i)` gives
// the colour of the column starting at sample i; `marks` are sample indexes
// where a thin line goes (region boundaries).
export function drawWave(canvas, samples, colourAt = () => '#0b5cad', marks = []) {
  const g = canvas.getContext('2d');
  const { width, height } = canvas;
  g.clearRect(0, 0, width, height);
  g.fillStyle = '#d8d8de';
  g.fillRect(0, height / 2, width, 1);
  const n = samples.length;
  if (n === 0) return;
  const mid = height / 2;
  for (let x = 0; x < width; x++) {
    const from = Math.floor((x * n) / width);
    const to = Math.max(from + 1, Math.floor(((x + 1) * n) / width));
    if (from >= n) break;
    const [lo, hi] = span(samples, from, Math.min(to, n));
    g.fillStyle = colourAt(from);
    const top = mid - Math.min(hi, 1) * (mid - 1);
    const bottom = mid - Math.max(lo, -1) * (mid - 1);
    g.fillRect(x, top, 1, Math.max(1, bottom - top));
  }
  g.fillStyle = '#8a4b00';
  for (const at of marks) g.fillRect(Math.round((at * width) / n), 0, 1, height);
}

#include "inspect/plot.h"

#include <cairo.h>
#include <math.h>

#include <algorithm>

#include "text/format.h"
#include "voice/dac.h"

namespace {

struct Rgb {
  double r, g, b;
};
const Rgb ink = {0.10, 0.10, 0.12};
const Rgb grid = {0.86, 0.87, 0.89};
const Rgb wave = {0.10, 0.32, 0.66};
const Rgb padding_fill = {0.80, 0.80, 0.80};
const Rgb erased_fill = {0.95, 0.62, 0.58};
const Rgb fits_fill = {0.80, 0.93, 0.80};
const Rgb cut_fill = {0.88, 0.88, 0.88};
const Rgb good = {0.10, 0.58, 0.22};
const Rgb bad = {0.82, 0.12, 0.10};

void set(cairo_t* cr, Rgb c, double alpha = 1) { cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha); }

// The plot's frame: pixels of the data area and the ranges they show.
struct Frame {
  double left, top, width, height;  // data area in pixels
  double t_end;                     // seconds at the right edge
  double font;                      // text size in pixels
  double x(double seconds) const { return left + width * seconds / t_end; }
  double y(double level) const { return top + height * (1 - level) / 2; }
};

// 1, 2 or 5 times a power of ten: about `count` steps over `span`.
double nice_step(double span, double count) {
  double raw = span / count, p = pow(10, floor(log10(raw)));
  for (double m : {1.0, 2.0, 5.0, 10.0})
    if (m * p >= raw) return m * p;
  return 10 * p;
}

// Text placed by a point: align_x 0 puts the point at its left end, 1 at
// its right end; align_y 0 puts it on the baseline, 1 at the top of the
// capitals, 0.5 halfway. Measured on the font, not on the letters, so
// that "cut" and "Ag" line up alike.
void text_at(cairo_t* cr, double x, double y, const std::string& s, double align_x, double align_y) {
  cairo_text_extents_t e;
  cairo_text_extents(cr, s.c_str(), &e);
  cairo_font_extents_t fe;
  cairo_font_extents(cr, &fe);
  cairo_move_to(cr, x - e.x_advance * align_x, y + 0.72 * fe.ascent * align_y);
  cairo_show_text(cr, s.c_str());
}

double text_width(cairo_t* cr, const std::string& s) {
  cairo_text_extents_t e;
  cairo_text_extents(cr, s.c_str(), &e);
  return e.x_advance;
}

// `text` shortened in its middle, where a long path's folders are, with
// "..." until it is at most `width` wide; the facts at its end stay.
std::string fitted(cairo_t* cr, const std::string& text, double width) {
  if (text_width(cr, text) <= width) return text;
  auto boundary = [&](size_t i) {  // not inside a UTF-8 sequence
    while (i > 0 && i < text.size() && (text[i] & 0xC0) == 0x80) i--;
    return i;
  };
  std::string best = "...";
  for (size_t lo = 0, hi = text.size(); lo < hi;) {
    size_t keep = (lo + hi + 1) / 2;
    size_t head = boundary(keep / 3), tail = boundary(text.size() - (keep - keep / 3));
    std::string s = text.substr(0, head) + "..." + text.substr(tail);
    if (text_width(cr, s) <= width)
      best = s, lo = keep;
    else
      hi = keep - 1;
  }
  return best;
}

// Text in `color` on a white patch, readable over the waveform; placed as
// text_at places it.
void label(cairo_t* cr, double x, double y, const std::string& s, double align_x, double align_y, Rgb color) {
  cairo_font_extents_t fe;
  cairo_font_extents(cr, &fe);
  double w = text_width(cr, s), pad = 0.2 * fe.ascent;
  double left = x - w * align_x, base = y + 0.72 * fe.ascent * align_y;
  cairo_set_source_rgba(cr, 1, 1, 1, 0.85);
  cairo_rectangle(cr, left - pad, base - 0.8 * fe.ascent - pad, w + 2 * pad,
                  0.8 * fe.ascent + fe.descent + 2 * pad);
  cairo_fill(cr);
  set(cr, color);
  text_at(cr, x, y, s, align_x, align_y);
}

struct Canvas {
  cairo_surface_t* surface = nullptr;
  cairo_t* cr = nullptr;
  Frame frame{};
  ~Canvas() {
    if (cr) cairo_destroy(cr);
    if (surface) cairo_surface_destroy(surface);
  }
};

// The white page, the title, the axes with their grid and labels.
bool start(Canvas* c, PlotSize size, const std::string& title, double seconds, std::string* error) {
  c->surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, size.width, size.height);
  if (cairo_surface_status(c->surface) != CAIRO_STATUS_SUCCESS) {
    *error = std::string("cannot draw: ") + cairo_status_to_string(cairo_surface_status(c->surface));
    return false;
  }
  c->cr = cairo_create(c->surface);
  cairo_t* cr = c->cr;
  double font = std::max(10.0, std::min(22.0, std::min(size.width / 80.0, size.height / 26.0)));
  Frame& f = c->frame;
  f.font = font;
  f.left = 5.2 * font;
  f.top = 3.6 * font;
  f.width = size.width - f.left - 1.5 * font;
  f.height = size.height - f.top - 3.4 * font;
  f.t_end = seconds > 0 ? seconds : 1;
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_paint(cr);
  cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
  cairo_set_font_size(cr, font * 1.1);
  set(cr, ink);
  text_at(cr, f.left, 0.6 * font, fitted(cr, title, size.width - f.left - 0.5 * font), 0, 1);
  cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, font);

  // Level: full scale up and down, the zero line darker.
  cairo_set_line_width(cr, 1);
  for (int i = -2; i <= 2; i++) {
    double level = i / 2.0, y = round(f.y(level)) + 0.5;
    set(cr, i == 0 ? Rgb{0.6, 0.6, 0.62} : grid);
    cairo_move_to(cr, f.left, y);
    cairo_line_to(cr, f.left + f.width, y);
    cairo_stroke(cr);
    set(cr, ink);
    text_at(cr, f.left - 0.4 * font, y, level == 0 ? "0" : strprintf("%+.1f", level), 1, 0.35);
  }
  cairo_save(cr);
  cairo_translate(cr, 1.4 * font, f.top + f.height / 2);
  cairo_rotate(cr, -M_PI / 2);
  text_at(cr, 0, 0, "level (full scale)", 0.5, 0);
  cairo_restore(cr);

  // Time: milliseconds for a drum hit, seconds for longer sounds.
  bool in_ms = f.t_end < 2;
  double unit = in_ms ? 1000 : 1, span = f.t_end * unit;
  double step = nice_step(span, std::max(2.0, f.width / (7 * font)));
  for (double t = 0; t <= span * (1 + 1e-9); t += step) {
    double x = round(f.x(t / unit)) + 0.5;
    set(cr, grid);
    cairo_move_to(cr, x, f.top);
    cairo_line_to(cr, x, f.top + f.height);
    cairo_stroke(cr);
    set(cr, ink);
    cairo_move_to(cr, x, f.top + f.height);
    cairo_line_to(cr, x, f.top + f.height + 0.35 * font);
    cairo_stroke(cr);
    text_at(cr, x, f.top + f.height + 0.6 * font, strprintf("%g", round(t / step) * step), 0.5, 1);
  }
  text_at(cr, f.left + f.width / 2, f.top + f.height + 2.0 * font, in_ms ? "time (ms)" : "time (s)", 0.5, 1);
  return true;
}

void frame_border(Canvas* c) {
  const Frame& f = c->frame;
  set(c->cr, ink);
  cairo_set_line_width(c->cr, 1);
  cairo_rectangle(c->cr, round(f.left) + 0.5, round(f.top) + 0.5, round(f.width), round(f.height));
  cairo_stroke(c->cr);
}

// A band over [t0, t1), named inside when the name fits.
void band(Canvas* c, double t0, double t1, Rgb fill, const std::string& name) {
  const Frame& f = c->frame;
  double x0 = f.x(t0), x1 = std::max(f.x(t1), x0 + 1);
  set(c->cr, fill);
  cairo_rectangle(c->cr, x0, f.top, x1 - x0, f.height);
  cairo_fill(c->cr);
  if (!name.empty() && text_width(c->cr, name) + 0.6 * f.font < x1 - x0)
    label(c->cr, (x0 + x1) / 2, f.top + f.height - 1.0 * f.font, name, 0.5, 0, ink);
}

// Legend entries along the line under the title, from the left.
void legend(Canvas* c, const std::vector<std::pair<Rgb, std::string>>& entries) {
  cairo_t* cr = c->cr;
  const Frame& f = c->frame;
  double x = f.left, y = 2.0 * f.font, box = 0.8 * f.font;
  for (const auto& e : entries) {
    set(cr, e.first);
    cairo_rectangle(cr, x, y, box, box);
    cairo_fill(cr);
    set(cr, ink);
    text_at(cr, x + box + 0.4 * f.font, y + box / 2, e.second, 0, 0.35);
    x += box + 0.4 * f.font + text_width(cr, e.second) + 1.4 * f.font;
  }
}

// Levels[i] held for one sample period each, from t = 0: a column of the
// lowest to the highest level per pixel, or steps where samples are wider
// than pixels.
template <typename LevelAt>
void waveform(Canvas* c, size_t n, double period, LevelAt level_at) {
  if (n == 0) return;  // a sound file without frames: axes only
  cairo_t* cr = c->cr;
  const Frame& f = c->frame;
  set(cr, wave);
  cairo_set_line_width(cr, 1);
  double px_per_sample = f.width * period / f.t_end;
  if (px_per_sample >= 1) {
    cairo_move_to(cr, f.x(0), f.y(level_at(0).first));
    for (size_t i = 0; i < n; i++) {
      auto lh = level_at(i);
      double x0 = f.x(i * period), x1 = f.x((i + 1) * period);
      cairo_line_to(cr, x0, f.y(lh.second));
      if (lh.first != lh.second) cairo_line_to(cr, x0, f.y(lh.first));
      cairo_line_to(cr, x1, f.y(lh.first));
    }
    cairo_stroke(cr);
    return;
  }
  // Each column also reaches to where the previous one ended, so that a
  // steep edge is drawn joined rather than as separate dashes.
  int columns = (int)ceil(f.width);
  size_t i = 0;
  double last = 0;
  bool have_last = false;
  for (int col = 0; col < columns && i < n; col++) {
    double t_next = (col + 1) * f.t_end / f.width;
    double lo = have_last ? last : 2, hi = have_last ? last : -2;
    bool any = false;
    while (i < n && i * period < t_next) {
      auto lh = level_at(i);
      lo = std::min(lo, lh.first);
      hi = std::max(hi, lh.second);
      last = (lh.first + lh.second) / 2;
      any = have_last = true;
      i++;
    }
    if (!any) continue;
    double x = f.left + col + 0.5, y_hi = f.y(hi), y_lo = std::max(f.y(lo), y_hi + 1);
    cairo_move_to(cr, x, y_hi);
    cairo_line_to(cr, x, y_lo);
  }
  cairo_stroke(cr);
}

cairo_status_t append_png(void* closure, const unsigned char* data, unsigned int length) {
  auto* out = static_cast<std::vector<uint8_t>*>(closure);
  out->insert(out->end(), data, data + length);
  return CAIRO_STATUS_SUCCESS;
}

bool finish(Canvas* c, std::vector<uint8_t>* png, std::string* error) {
  cairo_status_t s = cairo_status(c->cr);
  png->clear();
  if (s == CAIRO_STATUS_SUCCESS) s = cairo_surface_write_to_png_stream(c->surface, append_png, png);
  if (s != CAIRO_STATUS_SUCCESS) {
    *error = std::string("cannot draw: ") + cairo_status_to_string(s);
    return false;
  }
  return true;
}

bool size_ok(PlotSize size, std::string* error) {
  if (size.width >= plot_min_width && size.width <= plot_max_width && size.height >= plot_min_height &&
      size.height <= plot_max_height)
    return true;
  *error = strprintf("a picture of %dx%d pixels cannot be drawn", size.width, size.height);
  return false;
}

}  // namespace

bool plot_image(const std::string& name, const uint8_t* data, const ImageFacts& facts, PlotSize size,
                std::vector<uint8_t>* png, std::string* error) {
  if (!size_ok(size, error)) return false;
  const size_t n = (size_t)facts.size;
  const double period = 1 / facts.rate;
  std::string title = strprintf("%s: %s, %s at %g Hz, %llu bytes", name.c_str(), facts.machine->name,
                                code_name(facts.code), facts.rate, (unsigned long long)facts.size);
  if (facts.factory) title += strprintf(", factory %s (%s)", facts.factory->voice, facts.factory->file);
  Canvas c;
  if (!start(&c, size, title, n * period, error)) return false;
  cairo_t* cr = c.cr;
  const Frame& f = c.frame;

  bool any_erased = false;
  for (const RegionFacts& r : facts.regions) {
    double t0 = r.span.offset * period;
    uint32_t end = r.span.length - r.erased_tail;
    band(&c, t0 + r.used * period, t0 + end * period, padding_fill, "padding");
    if (r.erased_tail) {
      band(&c, t0 + end * period, t0 + r.span.length * period, erased_fill, "erased 0xFF");
      any_erased = true;
    }
  }
  waveform(&c, n, period, [&](size_t i) {
    double v = code_output(data[i], facts.code);
    return std::make_pair(v, v);
  });

  // Region boundaries and each region's first byte.
  for (size_t k = 0; k < facts.regions.size(); k++) {
    const RegionFacts& r = facts.regions[k];
    double x = f.x(r.span.offset * period);
    double next =
        k + 1 < facts.regions.size() ? f.x(facts.regions[k + 1].span.offset * period) : f.left + f.width;
    if (k > 0) {
      set(cr, ink);
      cairo_set_line_width(cr, 1.5);
      double dash[] = {5, 4};
      cairo_set_dash(cr, dash, 2, 0);
      cairo_move_to(cr, round(x) + 0.5, f.top);
      cairo_line_to(cr, round(x) + 0.5, f.top + f.height);
      cairo_stroke(cr);
      cairo_set_dash(cr, nullptr, 0, 0);
    }
    std::string where = strprintf("region %zu at 0x%04X", k + 1, r.span.offset);
    if (facts.regions.size() > 1 && text_width(cr, where) + f.font < next - x)
      label(cr, x + 0.4 * f.font, f.top + 0.5 * f.font, where, 0, 1, ink);
    double v = code_output(r.first_byte, facts.code);
    Rgb mark = r.first_is_zero ? good : bad;
    set(cr, mark);
    cairo_arc(cr, x + 1, f.y(v), 0.4 * f.font, 0, 2 * M_PI);
    cairo_fill(cr);
    std::string first = strprintf("first byte 0x%02X%s", r.first_byte, r.first_is_zero ? "" : ": click");
    // Under the waveform's lowest reach, where it is least in the way.
    if (text_width(cr, first) + f.font < next - x)
      label(cr, x + 0.7 * f.font, f.top + f.height - 2.4 * f.font, first, 0, 0, mark);
  }
  frame_border(&c);
  std::vector<std::pair<Rgb, std::string>> keys = {
      {wave, "DAC output"}, {padding_fill, "padding (level 0)"}, {good, "first byte: zero code"}};
  bool any_bad = std::any_of(facts.regions.begin(), facts.regions.end(),
                             [](const RegionFacts& r) { return !r.first_is_zero; });
  if (any_bad) keys.push_back({bad, "first byte not zero"});
  if (any_erased) keys.push_back({erased_fill, "erased (0xFF)"});
  legend(&c, keys);
  return finish(&c, png, error);
}

bool plot_sound(const std::string& name, const SoundFacts& facts, const RegionFit& fit, PlotSize size,
                std::vector<uint8_t>* png, std::string* error) {
  if (!size_ok(size, error)) return false;
  std::string title = strprintf("%s: %d Hz, %d channel%s, %.3f s, region of %s marked", name.c_str(),
                                facts.format.rate, facts.format.channels,
                                facts.format.channels == 1 ? "" : "s", facts.seconds, fit.machine->name);
  Canvas c;
  double seconds = std::max(facts.seconds, fit.fit_seconds);
  if (!start(&c, size, title, seconds, error)) return false;
  const Frame& f = c.frame;
  double kept = std::min(facts.seconds, fit.fit_seconds);
  band(&c, 0, kept, fits_fill,
       strprintf("fits %s: %.1f ms at %g Hz", fit.machine->name, kept * 1000, fit.rate));
  if (facts.seconds > fit.fit_seconds)
    band(&c, fit.fit_seconds, facts.seconds, cut_fill, "beyond the region: cut");
  else
    band(&c, facts.seconds, fit.fit_seconds, padding_fill, "padded with the zero code");

  const Envelope& e = facts.envelope;
  double period = (double)e.per_bin / facts.format.rate;
  waveform(&c, e.low.size(), period,
           [&](size_t i) { return std::make_pair((double)e.low[i], (double)e.high[i]); });

  // Where the region ends, when the sound runs past it or stops short.
  cairo_t* cr = c.cr;
  double x = round(f.x(fit.fit_seconds)) + 0.5;
  set(cr, ink);
  cairo_set_line_width(cr, 1.5);
  double dash[] = {5, 4};
  cairo_set_dash(cr, dash, 2, 0);
  cairo_move_to(cr, x, f.top);
  cairo_line_to(cr, x, f.top + f.height);
  cairo_stroke(cr);
  cairo_set_dash(cr, nullptr, 0, 0);
  std::string end = strprintf("%s region ends (%u bytes)", fit.machine->name, fit.sound_bytes + 1);
  double w = text_width(cr, end);
  label(cr, x + 0.4 * f.font + w > f.left + f.width ? x - 0.4 * f.font - w : x + 0.4 * f.font,
        f.top + 0.5 * f.font, end, 0, 1, ink);
  frame_border(&c);
  legend(&c, {{wave, "waveform (channels mixed)"},
              {fits_fill, "fits the region"},
              facts.seconds > fit.fit_seconds ? std::make_pair(cut_fill, std::string("cut"))
                                              : std::make_pair(padding_fill, std::string("padding"))});
  return finish(&c, png, error);
}

// Text is drawn with fonts fontconfig finds; it keeps what it found for
// the life of the process and never frees it, which LeakSanitizer would
// report when a sanitizer build that drew a picture exits (a test or a fuzz
// target linking this file; the converter says the same in its own
// program). Leaks of our own are still reported.
extern "C" const char* __lsan_default_suppressions(void);
extern "C" const char* __lsan_default_suppressions(void) { return "leak:libfontconfig.so\n"; }

bool plot_rom(const std::string& title, const std::vector<float>& played, double rate,
              const std::vector<RomPlotSpan>& spans, PlotSize size, std::vector<uint8_t>* png, std::string* error) {
  if (!size_ok(size, error)) return false;
  const double period = 1 / rate;
  Canvas c;
  if (!start(&c, size, title, played.size() * period, error)) return false;
  cairo_t* cr = c.cr;
  const Frame& f = c.frame;
  // Alternate shades tell neighbouring sounds apart; the gaps stay white.
  for (size_t k = 0; k < spans.size(); k++)
    band(&c, spans[k].t0, spans[k].t1, k % 2 ? padding_fill : fits_fill, "");
  waveform(&c, played.size(), period, [&](size_t i) { return std::make_pair((double)played[i], (double)played[i]); });
  bool any_bad = false;
  for (size_t k = 0; k < spans.size(); k++) {
    const RomPlotSpan& s = spans[k];
    double x0 = f.x(s.t0), x1 = f.x(s.t1);
    // Staggered in two rows, so that short neighbours keep their names.
    double y = f.top + (k % 2 ? 1.8 : 0.5) * f.font;
    if (text_width(cr, s.label) + 0.4 * f.font < std::max(x1 - x0, f.x(k + 2 < spans.size() ? spans[k + 2].t0 : f.t_end) - x0))
      label(cr, x0 + 0.2 * f.font, y, s.label, 0, 1, ink);
    if (!s.has_idle) continue;
    Rgb mark = s.idle_is_zero ? good : bad;
    any_bad = any_bad || !s.idle_is_zero;
    set(cr, mark);
    cairo_arc(cr, x1, f.y(s.idle_level), 0.35 * f.font, 0, 2 * M_PI);
    cairo_fill(cr);
  }
  frame_border(&c);
  std::vector<std::pair<Rgb, std::string>> keys = {{wave, "DAC output"}, {good, "idle byte: zero code"}};
  if (any_bad) keys.push_back({bad, "idle byte not zero"});
  legend(&c, keys);
  return finish(&c, png, error);
}

// quorix prepare for a sound in a whole ROM: the TR-707's voices, the DX's
// and Drumtraks' split chips, the LM-1's hi-hat loop, a range of an RZ-1
// dump. The sound is prepared as any voice (voice/prepare.h), then put in
// its place (voice/layout.h) in a fresh ROM or in the owner's image.
#include <math.h>
#include <stdio.h>

#include <algorithm>

#include "cli/command.h"
#include "cli/machine_args.h"
#include "cli/output.h"
#include "cli/prepare.h"
#include "platform/files.h"
#include "text/format.h"
#include "voice/audio.h"
#include "voice/layout.h"

// "0x1FFE", the way the service notes and a hex editor write addresses.
static std::string address(uint32_t a) { return strprintf("0x%04X", a); }

static std::string place_text(const SoundDef& s) {
  const uint32_t last = s.offset + (s.length - 1) * s.step;
  std::string t = "bytes " + address(s.offset) + "-" + address(last);
  if (s.step == 2) t += ", every second byte (one of an interleaved pair)";
  if (s.idle != Idle::none)
    t += strprintf(", idle byte %s (the %s) = 0x%02X", address(idle_address(s)).c_str(), idle_name(s.idle), s.idle_code);
  if (s.loop) t += ", a seamless loop at full level, no idle byte";
  return t;
}

bool read_rom_image(const std::string& path, uint32_t bytes, const RomDef& rom_def, const Pinout* pinout,
                    std::vector<uint8_t>* rom, std::string* why, bool* cannot_read) {
  FileHead head;
  *cannot_read = true;
  if (!read_head(path, (size_t)bytes + 1, &head, why)) return *why = path + ": " + *why, false;
  *cannot_read = false;
  if (head.size != bytes)
    return *why = strprintf("%s is %llu bytes; rom %s%s is %u", path.c_str(), (unsigned long long)head.size,
                            rom_def.name.c_str(), pinout ? (" on " + pinout->name).c_str() : "", bytes),
           false;
  *rom = pinout ? from_eprom(head.head, *pinout) : head.head;
  return true;
}

size_t loop_overlap_of(const SoundDef& s) { return std::min<size_t>(256, s.length / 4); }

Outcome prepare_sound_codes(const std::string& input, const MachineDef& machine, const SoundDef& s,
                            PrepareOptions o, bool quiet, std::vector<uint8_t>* codes, std::string* why) {
  Machine view = sound_view(machine, s);
  size_t overlap = 0;
  if (s.loop) {
    // Read on past the loop's end for the crossfade into its start; a loop
    // has no end to fade.
    overlap = loop_overlap_of(s);
    view.region += (uint32_t)overlap;
    o.fade_ms = 0;
  }
  o.machine = &view;
  o.region = o.chip = 0;
  VoiceSettings settings;
  *why = resolve_options(o, &settings);
  if (!why->empty()) return Outcome::usage;
  bool cannot_open = false;
  AudioFilePtr file = open_audio(input, why, &cannot_open);
  if (!quiet) printf("Input: %s\n", input == "-" ? "standard input" : input.c_str());
  if (!file) {
    if (!cannot_open) *why = "not a sound file we read: " + *why;
    return cannot_open ? Outcome::cannot_read : Outcome::unusable;
  }
  PreparedVoice voice = prepare_voice(*file, o, settings);
  file.reset();
  if (!quiet)
    for (const std::string& line : prepare_report(voice, o)) {
      // The pipeline counts a region of its own making, not the sound's
      // place in the ROM, which the Sound and ROM lines tell.
      if (line.compare(0, 6, "Image:") == 0) continue;
      if (line.compare(0, 8, "Machine:") == 0)
        printf("Machine: %s (%s), %s codes, %s%s\n", machine.name.c_str(), machine.description.c_str(),
               code_name(settings.code), hz_text(settings.rate).c_str(), o.rate && o.rate != s.rate ? " (--rate)" : "");
      else if (s.loop && line.compare(0, 5, "Kept:") == 0)
        // A loop has no end to fade: what is kept past it is crossfaded in.
        printf("Kept: %s for the loop and its crossfade\n", samples_text((int64_t)voice.kept, settings.rate).c_str());
      else
        puts(line.c_str());
    }
  if (voice.outcome != PrepareOutcome::finished) {
    *why = voice.error;
    return voice.outcome == PrepareOutcome::bad_input ? Outcome::unusable : Outcome::failed;
  }
  *codes = played_codes(voice.files, view.region - 1);
  if (s.loop) {
    // The loop runs on without end: it needs sound all the way round.
    if (voice.kept < s.length + overlap) {
      *why = strprintf("the loop needs %zu samples of sound (%s), the input gives %zu", s.length + overlap,
                       ms_text((double)(s.length + overlap) / view.rate).c_str(), voice.kept);
      return Outcome::unusable;
    }
    loop_codes(codes, s.length, overlap, s.code);
    if (!quiet)
      printf("Loop: %zu samples, the first %zu crossfaded with the %zu after the end\n", (size_t)s.length, overlap,
             overlap);
  }
  return Outcome::finished;
}

Outcome prepare_in_rom(PrepareRequest& r) {
  const Command& me = prepare_command;
  const SoundDef& s = r.sound;
  std::string why;
  const uint32_t bytes = r.pinout ? r.pinout->bytes : r.rom->bytes;
  VoiceSettings split;
  split.files = r.rom_chip ? bytes / r.rom_chip : 1;
  std::vector<std::string> names = chip_file_names(r.output, split);
  if (!r.preview.empty()) names.push_back(r.preview);
  // The --into image is read whole now and rewritten whole: it is an
  // output, not an input that must stay apart from the outputs.
  if (!plan_outputs({r.input}, names, &why)) return say(me, Outcome::cannot_write, why);
  std::vector<uint8_t> rom;
  bool cannot_read = false;
  const uint32_t bytes_read = r.pinout ? r.pinout->bytes : r.rom->bytes;
  if (!r.into.empty() && !read_rom_image(r.into, bytes_read, *r.rom, r.pinout, &rom, &why, &cannot_read))
    return say(me, cannot_read ? Outcome::cannot_read : Outcome::unusable, why);
  if (r.into.empty()) rom = blank_rom(*r.machine, *r.rom);

  std::vector<uint8_t> codes;
  Outcome prepared = prepare_sound_codes(r.input, *r.machine, s, r.options, r.quiet, &codes, &why);
  if (prepared != Outcome::finished) return say(me, prepared, why);
  const std::vector<uint8_t> before = rom;
  place_sound(&rom, s, codes);
  size_t changed = 0;
  for (size_t i = 0; i < rom.size(); i++) changed += rom[i] != before[i];
  const std::vector<uint8_t> image = r.pinout ? to_eprom(rom, *r.pinout) : rom;

  if (!r.quiet) {
    printf("Sound: %s of %s, %s\n", s.name.c_str(), r.machine->name.c_str(), place_text(s).c_str());
    printf("ROM: %s (%s, %u bytes), %s; %zu bytes changed\n", r.rom->name.c_str(), r.rom->file.c_str(), r.rom->bytes,
           r.into.empty() ? "fresh, every other sound silent" : ("into " + r.into + ", every other byte kept").c_str(),
           changed);
    Sureness sure = r.machine->sure;
    sure.insert(sure.end(), s.sure.begin(), s.sure.end());
    if (!sure.empty()) printf("How sure: %s\n", sureness_line(sure).c_str());
    if (r.pinout)
      printf("EPROM pinout: %s, %s (%s)\n", r.pinout->name.c_str(), r.pinout->description.c_str(),
             r.pinout->sure.c_str());
  }

  std::vector<OutputFile> files;
  const size_t each = image.size() / split.files;
  for (size_t i = 0; i < split.files; i++)
    files.push_back({names[i], std::vector<uint8_t>(image.begin() + (ptrdiff_t)(i * each),
                                                    image.begin() + (ptrdiff_t)((i + 1) * each)),
                     {}});
  const int preview_rate = (int)llround(r.settings.rate);
  std::vector<float> preview(codes.size());
  for (size_t i = 0; i < codes.size(); i++) preview[i] = (float)code_output(codes[i], s.code);
  if (!r.preview.empty()) {
    files.push_back({r.preview, {}, {}});
    if (!encode_wav(preview.data(), preview.size(), preview_rate, WavSamples::pcm16, &files.back().bytes, &why))
      return say(me, Outcome::failed, "cannot make the preview: " + why);
  }
  if (!write_outputs(files, &why)) return say(me, Outcome::cannot_write, why + "; nothing was written");
  if (!r.quiet) {
    for (size_t i = 0; i < split.files; i++)
      if (split.files > 1)
        printf("Output: %s (chip %zu of %u, addresses 0x%04zX-0x%04zX)\n", files[i].path.c_str(), i + 1, split.files,
               i * each, (i + 1) * each - 1);
      else
        printf("Output: %s\n", files[i].path.c_str());
    if (!r.preview.empty())
      printf("Preview: %s (%zu samples, 16-bit, %d Hz)\n", r.preview.c_str(), preview.size(), preview_rate);
    puts("Finished.");
  }
  return Outcome::finished;
}

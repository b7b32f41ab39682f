// quorix prepare for a sound in a whole ROM: the TR-707's voices, the DX's
// and Drumtraks' split chips, the LM-1's hi-hat loop, a range of an RZ-1
// dump. The sound is prepared as any voice (voice/prepare.h), then put in
// its place (voice/layout.h) in a fresh ROM or in the owner's image.
#include <math.h>
#include <stdio.h>

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

// The --into image as the ROM it stands for; false with the outcome's reason.
static bool read_into(const PrepareRequest& r, std::vector<uint8_t>* rom, std::string* why, bool* cannot_read) {
  const uint32_t bytes = r.pinout ? r.pinout->bytes : r.rom->bytes;
  FileHead head;
  *cannot_read = true;
  if (!read_head(r.into, (size_t)bytes + 1, &head, why)) return false;
  *cannot_read = false;
  if (head.size != bytes)
    return *why = strprintf("%s is %llu bytes; rom %s%s is %u", r.into.c_str(), (unsigned long long)head.size,
                            r.rom->name.c_str(), r.pinout ? (" on " + r.pinout->name).c_str() : "", bytes),
           false;
  *rom = r.pinout ? from_eprom(head.head, *r.pinout) : head.head;
  return true;
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
  if (!r.into.empty() && !read_into(r, &rom, &why, &cannot_read))
    return say(me, cannot_read ? Outcome::cannot_read : Outcome::unusable, why);
  if (r.into.empty()) rom = blank_rom(*r.machine, *r.rom);

  bool cannot_open = false;
  AudioFilePtr file = open_audio(r.input, &why, &cannot_open);
  if (!r.quiet) printf("Input: %s\n", r.input == "-" ? "standard input" : r.input.c_str());
  if (!file)
    return cannot_open ? say(me, Outcome::cannot_read, why) : say(me, Outcome::unusable, "not a sound file we read: " + why);
  PreparedVoice voice = prepare_voice(*file, r.options);
  file.reset();
  std::vector<std::string> report = prepare_report(voice, r.options);
  if (voice.outcome != PrepareOutcome::finished) {
    if (!r.quiet)
      for (const std::string& line : report) puts(line.c_str());
    return say(me, voice.outcome == PrepareOutcome::bad_input ? Outcome::unusable : Outcome::failed, voice.error);
  }
  std::vector<uint8_t> codes = played_codes(voice.files, r.view.region - 1);
  if (s.loop) {
    // The loop runs on without end: it needs sound all the way round.
    if (voice.kept < s.length + r.loop_overlap)
      return say(me, Outcome::unusable,
                 strprintf("the loop needs %zu samples of sound (%s), the input gives %zu", s.length + r.loop_overlap,
                           ms_text((double)(s.length + r.loop_overlap) / r.settings.rate).c_str(), voice.kept));
    loop_codes(&codes, s.length, r.loop_overlap, s.code);
  }
  const std::vector<uint8_t> before = rom;
  place_sound(&rom, s, codes);
  size_t changed = 0;
  for (size_t i = 0; i < rom.size(); i++) changed += rom[i] != before[i];
  const std::vector<uint8_t> image = r.pinout ? to_eprom(rom, *r.pinout) : rom;

  if (!r.quiet) {
    for (const std::string& line : report)
      // The pipeline's own image line counts its region, not the ROM.
      if (line.compare(0, 6, "Image:") != 0) puts(line.c_str());
    printf("Sound: %s of %s, %s\n", s.name.c_str(), r.machine->name.c_str(), place_text(s).c_str());
    if (s.loop)
      printf("Loop: %zu samples, the first %zu crossfaded with the %zu after the end\n", (size_t)s.length,
             r.loop_overlap, r.loop_overlap);
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

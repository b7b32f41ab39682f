// EPROM image to WAV: every byte of the image is a u255-law code and becomes
// one mono sample of a PCM WAV file at the configured rate.
#include <stdio.h>
#include <string.h>

#include "convert/codec.h"
#include "convert/convert.h"
#include "convert/wav.h"
#include "platform/platform.h"
#include "report/report.h"

char dmxfilename[NAME_SIZE];
char output_filename[NAME_SIZE];
int play_after_conversion = 1;
int conversion_outcome;

void ShowWaitCursor(void) {
  HCURSOR wait = LoadCursorA(NULL, IDC_WAIT);
  if (wait) SetCursor(wait);
}

void RestoreCursor(void) {
  HCURSOR cross = LoadCursorA(NULL, IDC_CROSS);
  if (cross) SetCursor(cross);
}

// The header's sizes are 32-bit: the whole file less 8 bytes must fit.
static const int64_t MAX_WAV_DATA = 0xFFFFFFFFLL - 36;
// The header's rate field holds whole hertz, and with 16-bit samples twice
// the rate must fit the bytes-per-second field too.
static const double RATE_LIMIT = 2147483648.0;
// Codes read per call.
enum { IMAGE_BLOCK = 65536 };

static uint32_t fail_to_start(FILE* ip, FILE* op) {
  if (ip) fclose(ip);
  if (op) fclose(op);
  RestoreCursor();
  conversion_outcome = OUTCOME_NOT_STARTED;
  return 1;
}

uint32_t ConvertDMXtoWAV(void) {
  conversion_outcome = OUTCOME_NOT_STARTED;
  ShowWaitCursor();
  ReportPrintf("Input file: %s", dmxfilename);
  ReportPrintf("Output file: %s", output_filename);

  FILE* ip = fopen(dmxfilename, "rb");
  if (!ip) {
    ReportPrintf("Unable to open input file: %s", dmxfilename);
    return fail_to_start(NULL, NULL);
  }
  // Opening the output would empty it; never do that to the input itself.
  if (SameFile(dmxfilename, output_filename)) {
    ReportPrintf("Output file is the input file: %s", output_filename);
    return fail_to_start(ip, NULL);
  }
  FILE* op = fopen(output_filename, "wb");
  if (!op) {
    ReportPrintf("Unable to open output file: %s", output_filename);
    return fail_to_start(ip, NULL);
  }

  int64_t length = -1;
  if (PlatformSeek(ip, 0, SEEK_END) == 0) length = PlatformTell(ip);
  if (length < 0 || PlatformSeek(ip, 0, SEEK_SET) != 0) {
    ReportPrintf("Unable to determine length of input file: %s", dmxfilename);
    return fail_to_start(ip, op);
  }

  if (sample_rate < 1.0) sample_rate = 24000.0;
  if (!(sample_rate < RATE_LIMIT)) {
    ReportLine("Sample rate too high for a WAV file (at most 2147483647 Hz).");
    return fail_to_start(ip, op);
  }

  int bytes_per_sample = eightbit ? 1 : 2;
  if (length > INT32_MAX || length * bytes_per_sample > MAX_WAV_DATA) {
    ReportPrintf("Input file too long for a WAV file: %s", dmxfilename);
    fclose(ip);
    fclose(op);
    RestoreCursor();
    conversion_outcome = OUTCOME_REJECTED;
    return 0;
  }
  int32_t number_of_samples = (int32_t)length;
  double output_time = number_of_samples / sample_rate;

  ReportPrintf("Input file length = %ld", (long)number_of_samples);
  ReportPrintf("Sample rate = %.0f Hz, duration = %.3f seconds", sample_rate, output_time);

  WriteWAVHeader(op, number_of_samples, bytes_per_sample, sample_rate);

  // The header announced number_of_samples: write exactly that many, even if
  // the file grows while it is read. The image is read and the samples are
  // written a block at a time through tables of the decoded codes.
  static int32_t value_of[256];
  static uint8_t sample_bytes[256][2];  // each code's sample as the WAV file holds it
  static uint8_t codes[IMAGE_BLOCK];
  static uint8_t wav_bytes[2 * IMAGE_BLOCK];
  BuildDecodeTable(value_of, bytes_per_sample == 2 ? 32767 : 127);
  for (int c = 0; c < 256; c++) {
    int32_t v = value_of[c];
    if (bytes_per_sample == 2) {
      sample_bytes[c][0] = (uint8_t)(v & 0xFF);
      sample_bytes[c][1] = (uint8_t)((v >> 8) & 0xFF);
    } else {
      // At this scale no code reaches +-128, so every sample fits a byte.
      sample_bytes[c][0] = (uint8_t)(v + 128);
    }
  }
  int32_t converted = 0;
  while (converted < number_of_samples) {
    int32_t left = number_of_samples - converted;
    size_t want = left < IMAGE_BLOCK ? (size_t)left : (size_t)IMAGE_BLOCK;
    size_t got = fread(codes, 1, want, ip);
    if (bytes_per_sample == 2) {
      for (size_t i = 0; i < got; i++) memcpy(wav_bytes + 2 * i, sample_bytes[codes[i]], 2);
    } else {
      for (size_t i = 0; i < got; i++) wav_bytes[i] = sample_bytes[codes[i]][0];
    }
    fwrite(wav_bytes, (size_t)bytes_per_sample, got, op);
    converted += (int32_t)got;
    if (got < want) break;
  }

  int read_failed = converted < number_of_samples;
  fclose(ip);
  int write_failed = ferror(op) != 0;
  if (fclose(op) != 0) write_failed = 1;
  RestoreCursor();
  if (read_failed) ReportPrintf("Unable to read the whole input file: %s", dmxfilename);
  if (write_failed) ReportPrintf("Unable to write the whole output file: %s", output_filename);
  if (read_failed || write_failed) {
    InvalidateRect(MyWindow, NULL, TRUE);
    conversion_outcome = write_failed ? OUTCOME_WRITE_FAILED : OUTCOME_REJECTED;
    return write_failed ? 1 : 0;
  }

  ReportLine("Finished.");
  conversion_outcome = OUTCOME_FINISHED;
  InvalidateRect(MyWindow, NULL, TRUE);
  if (play_after_conversion) {
    PlaySoundA(output_filename, NULL, SND_FILENAME | SND_NOWAIT | SND_ASYNC);
    strcpy(last_played_file, output_filename);
    ReportPrintf("Playing file: %s", last_played_file);
    config_edit = 1;
  }
  return 0;
}

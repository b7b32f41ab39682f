#include "voice/audio.h"

#include <math.h>
#include <sndfile.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>

#include "platform/files.h"

// Bytes libsndfile reads through its virtual I/O: a block in memory, or
// standard input kept as it is read. A pipe cannot seek, and some formats
// (FLAC among them) look back at what they read, so what came from the pipe
// stays in memory; only as much is read as the decoder asks for.
struct ByteSource {
  const uint8_t* data = nullptr;  // memory: the caller's bytes
  std::vector<uint8_t> kept;      // standard input: everything read so far
  int fd = -1;                    // standard input, else -1
  bool at_end = false;            // standard input has no more bytes
  bool read_from = false;         // the decoder has read or sought (the head read ahead aside)
  sf_count_t size = 0;            // bytes available so far
  sf_count_t pos = 0;
};

struct AudioFile {
  SNDFILE* sf = nullptr;
  int fd = -1;  // the file we opened, closed with it (never standard input)
  SF_INFO info{};
  AudioFormat format;
  std::unique_ptr<ByteSource> source;
  std::vector<float> frames;  // interleaved scratch for read_mono
};

void AudioFileCloser::operator()(AudioFile* file) const {
  if (file->sf) sf_close(file->sf);
  if (file->fd >= 0) close_file(file->fd);
  delete file;
}

// A stream is kept whole in memory for the decoder to look back on; past
// this much it counts as ended (and the decoder reports a short file), so
// an endless pipe cannot take all memory.
static const sf_count_t stream_keep_limit = sf_count_t(1) << 30;

// 2^27 samples: 23 minutes of 48 kHz stereo, and less than any header
// placeholder of about 2^31 bytes holds in samples of up to 8 bytes.
static const int64_t stream_placeholder_samples = int64_t(1) << 27;

// Reads standard input on until `want` bytes are kept or it ends.
static void fill_to(ByteSource* s, sf_count_t want) {
  if (s->fd < 0) return;
  want = std::min(want, stream_keep_limit);
  while (!s->at_end && s->size < want) {
    size_t chunk = (size_t)std::min<sf_count_t>(std::max<sf_count_t>(want - s->size, 65536), 1 << 20);
    s->kept.resize((size_t)s->size + chunk);
    long got = read_some(s->fd, s->kept.data() + s->size, chunk);
    if (got <= 0) {
      s->at_end = true;  // a read error ends the stream too; the decoder reports a short file
      got = 0;
    }
    s->size += got;
    s->kept.resize((size_t)s->size);
  }
  if (s->size >= stream_keep_limit) s->at_end = true;
  s->data = s->kept.data();
}

// The length of a stream is not known until it ends; a decoder that asks
// gets the largest length there could be, and checks its reads instead.
static sf_count_t vio_length(void* user) {
  auto* s = static_cast<ByteSource*>(user);
  // A stream's length is known once it ended under the decoder's reads, not
  // because its head was read ahead of them (which a short stream fills).
  return s->fd >= 0 && !(s->at_end && s->read_from) ? INT64_MAX / 2 : s->size;
}

// Where a seek lands, or -1 when it would land before the start or past
// what a count can hold: a damaged header (an RF64 ds64 size near 2^63, say)
// makes libsndfile skip by whatever the file claims.
static sf_count_t seek_target(sf_count_t base, sf_count_t offset) {
  sf_count_t to;
  if (__builtin_add_overflow(base, offset, &to) || to < 0) return -1;
  return to;
}

static sf_count_t vio_seek(sf_count_t offset, int whence, void* user) {
  auto* s = static_cast<ByteSource*>(user);
  s->read_from = true;
  sf_count_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? s->pos : -1;
  if (base < 0) {  // from the end: a stream must be read to its end first
    fill_to(s, INT64_MAX / 2);
    base = s->size;
  }
  sf_count_t to = seek_target(base, offset);
  if (to >= 0) s->pos = to;
  return to;
}

static sf_count_t vio_read(void* ptr, sf_count_t count, void* user) {
  auto* s = static_cast<ByteSource*>(user);
  s->read_from = true;
  if (count <= 0) return 0;
  sf_count_t want;
  fill_to(s, __builtin_add_overflow(s->pos, count, &want) ? INT64_MAX : want);
  sf_count_t n = std::min(count, s->size - s->pos);
  if (n <= 0) return 0;
  memcpy(ptr, s->data + s->pos, (size_t)n);
  s->pos += n;
  return n;
}

static sf_count_t vio_write(const void*, sf_count_t, void*) { return 0; }
static sf_count_t vio_tell(void* user) { return static_cast<ByteSource*>(user)->pos; }

static std::string format_name(int command, int format) {
  SF_FORMAT_INFO fi{};
  fi.format = format;
  if (sf_command(nullptr, command, &fi, sizeof fi) != 0 || !fi.name) return "unknown";
  return fi.name;
}

static AudioFilePtr finish_open(AudioFilePtr file, std::string* error) {
  if (!file->sf) {
    *error = sf_strerror(nullptr);
    return nullptr;
  }
  const SF_INFO& info = file->info;
  if (info.channels < 1 || info.samplerate < 1) {
    *error = "no channels or no sample rate in the file";
    return nullptr;
  }
  // A header whose sizes send the reader past the end of the file (an RF64
  // ds64 chunk claiming 2^63 bytes, say) is damaged, not merely cut short:
  // libsndfile notes it in its log and carries on with what is there.
  char log[4096] = "";
  sf_command(file->sf, SFC_GET_LOG_INFO, log, sizeof log);
  if (strstr(log, "psf_fseek past end")) {
    *error = "its header points past the end of the file: the file is damaged";
    return nullptr;
  }
  AudioFormat& f = file->format;
  f.container = format_name(SFC_GET_FORMAT_INFO, info.format & SF_FORMAT_TYPEMASK);
  f.encoding = format_name(SFC_GET_FORMAT_INFO, info.format & SF_FORMAT_SUBMASK);
  f.channels = info.channels;
  f.rate = info.samplerate;
  // libsndfile says SF_COUNT_MAX when a stream does not give its length.
  f.frames = info.frames >= 0 && info.frames < SF_COUNT_MAX ? (int64_t)info.frames : -1;
  // A program writing WAV or AIFF into a pipe cannot go back to fill in the
  // header's length and leaves a placeholder of about 2 GB there instead
  // (ffmpeg 0xFFFFFFFF, sox a little less). From a stream, a length of that
  // order is that placeholder, not a length.
  f.stream = file->source && file->source->fd >= 0;
  if (f.stream && f.frames >= 0 && f.frames * f.channels >= stream_placeholder_samples) f.frames = -1;
  return file;
}

// libsndfile 1.2.0 never finishes opening a WAV or RF64 file whose LIST
// chunk holds an entry of 2 GB or more: read as a negative length, it walks
// back over the same bytes for ever. No real file holds such an entry; the
// file is damaged and is refused before libsndfile sees it. True for such
// a file, from its first `size` bytes.
static bool endless_list_entry(const uint8_t* d, size_t size) {
  if (size < 12 || (memcmp(d, "RIFF", 4) != 0 && memcmp(d, "RF64", 4) != 0 && memcmp(d, "RIFX", 4) != 0))
    return false;
  const bool big_endian = d[3] == 'X';
  auto u32 = [&](size_t at) -> uint64_t {
    return big_endian ? (uint64_t)d[at] << 24 | d[at + 1] << 16 | d[at + 2] << 8 | d[at + 3]
                      : (uint64_t)d[at + 3] << 24 | d[at + 2] << 16 | d[at + 1] << 8 | d[at];
  };
  for (uint64_t at = 12; at + 8 <= size;) {
    const uint64_t length = u32(at + 4), end = at + 8 + length;
    if (memcmp(d + at, "LIST", 4) == 0)
      for (uint64_t entry = at + 12; entry + 8 <= std::min<uint64_t>(end, size); entry += 8 + u32(entry + 4) + (u32(entry + 4) & 1))
        if (u32(entry + 4) >= 0x80000000u) return true;
    at = end + (length & 1);
  }
  return false;
}

static const char endless_list_error[] = "a LIST chunk holds an entry of 2 GB or more: the file is damaged";

static SF_VIRTUAL_IO byte_source_io = {vio_length, vio_seek, vio_read, vio_write, vio_tell};

AudioFilePtr open_audio(const std::string& path, std::string* error, bool* cannot_open) {
  if (cannot_open) *cannot_open = false;
  AudioFilePtr file(new AudioFile);
  FileType type;
  int fd = open_for_reading(path, &type, error);
  if (fd < 0) {
    if (cannot_open) *cannot_open = true;
    return nullptr;
  }
  if (path != "-") file->fd = fd;
  // The head of the file, where a WAV file's LIST chunk stands.
  const size_t head = 1 << 16;
  if (type == FileType::regular) {
    FileHead h;
    if (read_head(path, head, &h, error) && endless_list_entry(h.head.data(), h.head.size()))
      return *error = endless_list_error, nullptr;
    file->sf = sf_open_fd(fd, SFM_READ, &file->info, SF_FALSE);
  } else {
    // A pipe, a FIFO or a terminal: read as it comes, kept for the decoder.
    file->source.reset(new ByteSource);
    file->source->fd = fd;
    fill_to(file->source.get(), head);
    if (endless_list_entry(file->source->data, (size_t)file->source->size))
      return *error = endless_list_error, nullptr;
    file->sf = sf_open_virtual(&byte_source_io, SFM_READ, &file->info, file->source.get());
  }
  return finish_open(std::move(file), error);
}

AudioFilePtr open_audio_memory(const void* data, size_t size, std::string* error) {
  AudioFilePtr file(new AudioFile);
  file->source.reset(new ByteSource);
  file->source->data = static_cast<const uint8_t*>(data);
  file->source->size = (sf_count_t)size;
  file->source->at_end = true;
  if (endless_list_entry(file->source->data, size)) return *error = endless_list_error, nullptr;
  file->sf = sf_open_virtual(&byte_source_io, SFM_READ, &file->info, file->source.get());
  return finish_open(std::move(file), error);
}

const AudioFormat& audio_format(const AudioFile& file) { return file.format; }

MonoRead read_mono(AudioFile& file, int channel, float* out, long n) {
  MonoRead r;
  const int channels = file.format.channels;
  const long block = 4096;
  file.frames.resize((size_t)(block * channels));
  while (r.frames < n) {
    long want = std::min(block, n - r.frames);
    sf_count_t got = sf_readf_float(file.sf, file.frames.data(), want);
    if (got <= 0) break;
    for (sf_count_t i = 0; i < got; i++) {
      const float* frame = &file.frames[(size_t)(i * channels)];
      double sum = 0;
      for (int c = 0; c < channels; c++) {
        if (channel > 0 && c != channel - 1) continue;
        float v = frame[c];
        if (!isfinite(v)) {
          r.nonfinite++;
          v = 0;
        }
        sum += v;
      }
      out[r.frames + i] = (float)(channel > 0 ? sum : sum / channels);
    }
    r.frames += (long)got;
    if (got < want) break;
  }
  if (sf_error(file.sf) != SF_ERR_NO_ERROR) {
    r.failed = true;
    r.error = sf_strerror(file.sf);
  }
  return r;
}

MonoRead read_frames(AudioFile& file, float* out, long n) {
  MonoRead r;
  const int channels = file.format.channels;
  sf_count_t got = sf_readf_float(file.sf, out, n);
  if (got > 0) {
    r.frames = (long)got;
    for (sf_count_t i = 0; i < got * channels; i++)
      if (!isfinite(out[i])) {
        r.nonfinite++;
        out[i] = 0;
      }
  }
  if (sf_error(file.sf) != SF_ERR_NO_ERROR) {
    r.failed = true;
    r.error = sf_strerror(file.sf);
  }
  return r;
}

// Writing to memory: libsndfile goes back to fill in the header's sizes.
struct ByteSink {
  std::vector<uint8_t>* bytes;
  sf_count_t pos = 0;
};

static sf_count_t sink_length(void* user) { return (sf_count_t) static_cast<ByteSink*>(user)->bytes->size(); }
static sf_count_t sink_seek(sf_count_t offset, int whence, void* user) {
  auto* s = static_cast<ByteSink*>(user);
  sf_count_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? s->pos : (sf_count_t)s->bytes->size();
  sf_count_t to = seek_target(base, offset);
  if (to >= 0) s->pos = to;
  return to;
}
static sf_count_t sink_read(void* ptr, sf_count_t count, void* user) {
  auto* s = static_cast<ByteSink*>(user);
  sf_count_t n = std::min(count, (sf_count_t)s->bytes->size() - s->pos);
  if (n <= 0) return 0;
  memcpy(ptr, s->bytes->data() + s->pos, (size_t)n);
  s->pos += n;
  return n;
}
// A write that would end past what memory can index is refused whole.
static sf_count_t sink_write(const void* ptr, sf_count_t count, void* user) {
  auto* s = static_cast<ByteSink*>(user);
  sf_count_t end;
  if (count <= 0 || __builtin_add_overflow(s->pos, count, &end) || (uint64_t)end > s->bytes->max_size()) return 0;
  if ((size_t)end > s->bytes->size()) s->bytes->resize((size_t)end);
  memcpy(s->bytes->data() + s->pos, ptr, (size_t)count);
  s->pos = end;
  return count;
}
static sf_count_t sink_tell(void* user) { return static_cast<ByteSink*>(user)->pos; }

bool encode_wav(const float* samples, size_t n, int rate, WavSamples kind,
                std::vector<uint8_t>* out, std::string* error) {
  out->clear();
  ByteSink sink{out};
  SF_VIRTUAL_IO io = {sink_length, sink_seek, sink_read, sink_write, sink_tell};
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = 1;
  info.format = SF_FORMAT_WAV | (kind == WavSamples::pcm16 ? SF_FORMAT_PCM_16 : SF_FORMAT_FLOAT);
  SNDFILE* sf = sf_open_virtual(&io, SFM_WRITE, &info, &sink);
  if (!sf) {
    *error = sf_strerror(nullptr);
    return false;
  }
  // 16-bit output: +1.0 becomes 32767 rather than wrapping around.
  sf_command(sf, SFC_SET_CLIPPING, nullptr, SF_TRUE);
  // A float file would get a PEAK chunk stamped with the time of writing:
  // the same image would give a different file every second.
  sf_command(sf, SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
  bool ok = sf_writef_float(sf, samples, (sf_count_t)n) == (sf_count_t)n;
  if (!ok) *error = sf_strerror(sf);
  sf_close(sf);
  return ok;
}

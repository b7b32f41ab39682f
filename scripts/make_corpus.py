#!/usr/bin/env python3
"""Writes the regression corpus of malformed inputs under tests/corpus/.

tests/corpus/wav/NAME.wav   a WAV file, converted to an image with the
                            default settings (u255-law, no inversion, no
                            automatic scaling; ".autoscale" in the name turns
                            automatic scaling on)
tests/corpus/wav/NAME.log   the whole report of that conversion, one line per
                            report line; {input} and {output} stand for the
                            two file names
tests/corpus/wav/NAME.img   the image it writes; no .img file means an empty
                            image
tests/corpus/ini/NAME.ini   a settings file, loaded over the built-in values
tests/corpus/ini/NAME.out   the file a save writes right after that load

The expected logs, images and saved files are not recorded from the
program: they are worked out here, by a reader of the file formats written
from their rules alone (the chunk walk and its data step, the two codes, the
settings reader and writer), so that tests/test_corpus.cpp compares two
independent readings of every file. Run from anywhere; it rewrites the
corpus whole.
"""

import math
import os
import shutil
import struct
import sys

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
CORPUS = os.path.join(ROOT, "tests", "corpus")

# ---------------------------------------------------------------------------
# Building WAV files

def u16(v):
    return struct.pack("<H", v & 0xFFFF)


def u32(v):
    return struct.pack("<I", v & 0xFFFFFFFF)


def chunk(name, body, size=None, pad=True):
    """A chunk: name, size (the body's length unless given), body, and the pad
    byte after an odd body unless pad is False."""
    if size is None:
        size = len(body)
    out = name + u32(size) + body
    if pad and len(body) % 2:
        out += b"\0"
    return out


def fmt_body(tag=1, channels=1, rate=24000, align=None, bits=16, extra=b""):
    if align is None:
        align = channels * ((bits + 7) // 8)
    return (u16(tag) + u16(channels) + u32(rate) + u32(rate * align) + u16(align) +
            u16(bits) + extra)


def riff(*chunks, form=b"WAVE", tag=b"RIFF"):
    body = form + b"".join(chunks)
    return tag + u32(len(body)) + body


def samples16(*values):
    return b"".join(struct.pack("<h", v) for v in values)


# The spoken example of the format: 16-bit mono, four samples.
SAMPLES = samples16(0, 8192, -8192, 4096)
VALID = riff(chunk(b"fmt ", fmt_body()), chunk(b"data", SAMPLES))

# ---------------------------------------------------------------------------
# The two codes

def to_u255law(x, peak):
    X = x / peak
    if X >= 0.0:
        sign, A = 0x80, X * 255.0 + 1.0
    else:
        sign, A = 0, X * (-255.0) + 1.0
    y = int(math.log(A) * 23.08)  # int() truncates toward zero
    return min(y, 127) | sign


def to_linear(x, peak):
    y = int(128.0 * (x / peak)) + 128
    return max(0, min(255, y))


def cdiv(a, b):
    """Integer division truncating toward zero, as C does."""
    q = abs(a) // abs(b)
    return q if (a < 0) == (b < 0) else -q


def int32(v):
    return v - (1 << 32) if v & 0x80000000 else v


# ---------------------------------------------------------------------------
# The conversion of a WAV file into an image, as the file format's rules
# and the program's documented choices describe it.

class Stream:
    """A stdio input stream: a short read sets the end-of-file indicator,
    reading the last byte does not, and a seek clears it."""

    def __init__(self, data):
        self.data, self.pos, self.eof = data, 0, False

    def read(self, n):
        got = self.data[self.pos:self.pos + n]
        self.pos += len(got)
        if len(got) < n:
            self.eof = True
        return got

    def getc(self):
        return len(self.read(1)) == 1


EOF_LINE = b"Unexpected end of file."


class Conversion:
    def __init__(self, data, mu_law=1, invert=0, autoscale=0):
        self.ip = Stream(data)
        self.mu_law, self.invert = mu_law, invert
        self.pass_ = 0 if autoscale else 1
        self.peak = 32768
        self.newpeak = 0
        self.n_outs = 0
        self.image = bytearray()
        self.lines = [b"Input file: {input}", b"Output file: {output}"]

    def say(self, text):
        self.lines.append(text if isinstance(text, bytes) else text.encode())

    def flush_chunk(self, size):
        if size <= 0:
            return
        count = size + (size & 1)
        while count > 0 and self.ip.getc():
            count -= 1

    def decode(self, frame, channels, bits):
        if bits <= 8:
            left = (frame[0] - 128) * 256
            if channels == 1:
                return left
            return cdiv(left + (frame[1] - 128) * 256, 2)
        left = struct.unpack("<h", frame[0:2])[0]
        if channels == 1:
            return left
        return cdiv(left + struct.unpack("<h", frame[2:4])[0], 2)

    def data_step(self, size, channels, align, bits):
        """Returns False when the file is rejected."""
        # Sample widths beyond 16 bits and frames shorter than the samples
        # they must hold are refused before anything is read.
        if bits < 1 or bits > 16:
            self.say("Unsupported sample size: %u bits (8 or 16 bit PCM only)." % bits)
            return False
        needed = channels * (1 if bits <= 8 else 2)
        if align != 0 and align < needed:
            self.say("Frame size of %u bytes too small for %u channel(s) of %u bits." %
                     (align, channels, bits))
            return False
        self.pass_ &= 1
        dstart = self.ip.pos
        while self.pass_ < 2:
            remaining = size
            if self.pass_ == 1:
                self.say("Input file: %d samples." % cdiv(size, (bits + 7) // 8))
            self.newpeak = 0
            # A measured peak of 0 encodes against the full 16-bit scale.
            scale = self.peak if self.peak != 0 else 32768
            while not self.ip.eof and remaining > 0:
                if align == 0 or len(frame := self.ip.read(align)) != align:
                    self.say(EOF_LINE)
                    return False
                remaining -= align
                s = self.decode(frame, channels, bits)
                self.newpeak = max(self.newpeak, abs(s))
                if self.invert:
                    s = -s
                if self.pass_ == 1:
                    code = to_u255law(s, scale) if self.mu_law == 1 else to_linear(s, scale)
                    self.image.append(code & 0xFF)
                    self.n_outs += 1
            self.say("Pass %d: Unused audio headroom = %2d%%" %
                     (self.pass_, cdiv((scale - self.newpeak) * 100, scale)))
            self.peak = self.newpeak
            if self.pass_ == 0:
                self.ip.pos, self.ip.eof = dstart, False
            self.pass_ += 1
        self.say("Output: %d samples." % self.n_outs)
        self.say("Peak audio value = %d" % self.newpeak)
        if self.mu_law == 0:
            self.say("Output format: Linear offset")
        return True

    def walk(self):
        """Returns True when the walk ended, False when it rejected the file."""
        ip = self.ip
        head = ip.read(12)
        if len(head) < 12:
            self.say(EOF_LINE)
            return True
        if head[0:4] != b"RIFF":
            self.say("Not a RIFF file")
            return False
        if head[8:12] != b"WAVE":
            self.say("Unknown RIFF type (not a WAVE file)")
            return False
        fmt = None
        while not ip.eof:
            hdr = ip.read(8)
            if len(hdr) < 8:
                self.say(EOF_LINE)
                return True
            name = hdr[0:4].split(b"\0")[0]
            size = int32(struct.unpack("<I", hdr[4:8])[0])
            self.say(b"Processing chunk... " + name + (", %d bytes" % size).encode())
            if name.lower() == b"fmt ":
                f = ip.read(14)
                if len(f) < 14:
                    self.say(EOF_LINE)
                    return False
                tag, channels, _, _, align = struct.unpack("<HHIIH", f)
                if tag != 1 or channels not in (1, 2):
                    self.say("Unknown audio format.")
                    return False
                b = ip.read(2)
                if len(b) < 2:
                    self.say(EOF_LINE)
                    return False
                bits = struct.unpack("<H", b)[0]
                self.say("%d bit data, Channels = %d" % (bits, channels))
                fmt = (channels, align, bits)
                self.flush_chunk(size - 16 if size > 16 else 0)
            elif name.lower() == b"data":
                if fmt:
                    if not self.data_step(size, *fmt):
                        return False
                else:
                    self.say("No header detected before data!")
                    self.flush_chunk(size)
            else:
                self.say("(Ignoring chunk)")
                self.flush_chunk(size)
        return True

    def run(self):
        if self.walk():
            self.say("Finished.")
        return self.lines, bytes(self.image)


# ---------------------------------------------------------------------------
# The WAV cases

def wav_cases():
    cases = {}
    # Cut short at every offset of the 44-byte header, down to nothing.
    for n in range(0, 45):
        cases["header-cut-at-%02d" % n] = VALID[:n]
    cases["valid-16bit-mono"] = VALID
    cases["valid-16bit-mono.autoscale"] = VALID

    # Tags: compared exactly, case and all.
    cases["riff-lowercase"] = riff(chunk(b"fmt ", fmt_body()), chunk(b"data", SAMPLES), tag=b"riff")
    cases["rifx"] = riff(chunk(b"fmt ", fmt_body()), chunk(b"data", SAMPLES), tag=b"RIFX")
    cases["rf64"] = riff(chunk(b"fmt ", fmt_body()), chunk(b"data", SAMPLES), tag=b"RF64")
    cases["form-type-lowercase"] = riff(chunk(b"fmt ", fmt_body()), chunk(b"data", SAMPLES),
                                        form=b"wave")
    cases["chunk-names-uppercase"] = riff(chunk(b"FMT ", fmt_body()), chunk(b"DATA", SAMPLES))

    # Chunk sizes that do not agree with the file.
    cases["chunk-larger-than-file"] = riff(chunk(b"fmt ", fmt_body()), chunk(b"data", SAMPLES),
                                           chunk(b"LIST", b"INFOtext", size=1000))
    cases["chunk-size-0x7fffffff"] = riff(chunk(b"fmt ", fmt_body()), chunk(b"data", SAMPLES),
                                          chunk(b"junk", b"0123456789", size=0x7FFFFFFF))
    # A negative size skips nothing: the next chunk header is read from
    # the start of the body, which here is a data chunk.
    cases["chunk-size-0x80000000"] = riff(chunk(b"fmt ", fmt_body()),
                                          chunk(b"junk", b"", size=0x80000000),
                                          chunk(b"data", SAMPLES))
    cases["chunk-size-0xffffffff"] = riff(chunk(b"fmt ", fmt_body()),
                                          chunk(b"junk", b"", size=0xFFFFFFFF),
                                          chunk(b"data", SAMPLES))
    cases["odd-chunk-pad-missing"] = riff(chunk(b"fmt ", fmt_body()), chunk(b"data", SAMPLES),
                                          chunk(b"note", b"snare 1", pad=False))
    cases["odd-chunk-with-pad"] = riff(chunk(b"fmt ", fmt_body()), chunk(b"note", b"snare 1"),
                                       chunk(b"data", SAMPLES))

    # Format chunks of every awkward length; the body holds what the size
    # says (and a pad byte after an odd one).
    full = fmt_body()
    cases["fmt-size-0"] = riff(chunk(b"fmt ", b""), chunk(b"data", SAMPLES))
    cases["fmt-size-14"] = riff(chunk(b"fmt ", full[:14]), chunk(b"data", SAMPLES))
    cases["fmt-size-15"] = riff(chunk(b"fmt ", full[:15]), chunk(b"data", SAMPLES))
    cases["fmt-size-17"] = riff(chunk(b"fmt ", full + b"\x07"), chunk(b"data", SAMPLES))
    cases["fmt-size-18"] = riff(chunk(b"fmt ", full + u16(0)), chunk(b"data", SAMPLES))
    cases["fmt-size-40"] = riff(chunk(b"fmt ", full + u16(22) + bytes(22)),
                                chunk(b"data", SAMPLES))

    # A second format chunk between two data chunks.
    cases["second-fmt-changes-channels"] = riff(
        chunk(b"fmt ", fmt_body()), chunk(b"data", SAMPLES),
        chunk(b"fmt ", fmt_body(channels=2)), chunk(b"data", samples16(100, 101, -100, -101)))
    cases["second-fmt-changes-bits"] = riff(
        chunk(b"fmt ", fmt_body()), chunk(b"data", SAMPLES),
        chunk(b"fmt ", fmt_body(bits=8)), chunk(b"data", bytes([128, 255, 0, 160, 96])))
    cases["data-before-fmt"] = riff(chunk(b"data", SAMPLES), chunk(b"fmt ", fmt_body()),
                                    chunk(b"data", SAMPLES))

    # Format fields.
    for ch in (0, 3, 65535):
        cases["channels-%d" % ch] = riff(chunk(b"fmt ", fmt_body(channels=ch, align=2)),
                                         chunk(b"data", SAMPLES))
    cases["blockalign-0"] = riff(chunk(b"fmt ", fmt_body(align=0)), chunk(b"data", SAMPLES))
    cases["blockalign-1-16bit-stereo"] = riff(chunk(b"fmt ", fmt_body(channels=2, align=1)),
                                              chunk(b"data", SAMPLES))
    # Frames wider than 16 bytes: the first two bytes of each are the sample.
    wide = b"".join(samples16(v) + bytes(range(1, 16)) for v in (0, 8192, -8192, 4096))
    cases["blockalign-17"] = riff(chunk(b"fmt ", fmt_body(align=17)), chunk(b"data", wide))
    cases["blockalign-65535"] = riff(chunk(b"fmt ", fmt_body(align=65535)),
                                     chunk(b"data", samples16(-16384) + bytes(65533)))
    for bits in (0, 1, 12, 24, 32, 65535):
        align = 2 if bits in (12, 0) else (1 if bits == 1 else 4)
        cases["bits-%d" % bits] = riff(chunk(b"fmt ", fmt_body(bits=bits, align=align)),
                                       chunk(b"data", SAMPLES))
    for tag in (0, 3, 0xFFFE):
        cases["format-tag-%s" % (hex(tag) if tag > 9 else tag)] = riff(
            chunk(b"fmt ", fmt_body(tag=tag)), chunk(b"data", SAMPLES))

    # Data chunks of awkward sizes.
    cases["data-size-0"] = riff(chunk(b"fmt ", fmt_body()), chunk(b"data", b""))
    cases["data-size-0.autoscale"] = cases["data-size-0"]
    cases["data-size-odd"] = riff(chunk(b"fmt ", fmt_body(bits=8)),
                                  chunk(b"data", bytes([128, 200, 56, 255, 1])),
                                  chunk(b"LIST", b"INFO"))
    # 5 bytes of 2-byte frames: the third frame reaches into the next chunk.
    cases["data-not-multiple-of-frame"] = riff(chunk(b"fmt ", fmt_body()),
                                               chunk(b"data", SAMPLES[:5], pad=False),
                                               chunk(b"junk", b"ab"))
    cases["data-larger-than-file"] = riff(chunk(b"fmt ", fmt_body()),
                                          chunk(b"data", SAMPLES, size=1000))
    cases["data-larger-than-file.autoscale"] = cases["data-larger-than-file"]
    cases["data-size-0x80000000"] = riff(chunk(b"fmt ", fmt_body()),
                                         chunk(b"data", SAMPLES, size=0x80000000))
    cases["silent-8bit.autoscale"] = riff(chunk(b"fmt ", fmt_body(bits=8)),
                                          chunk(b"data", bytes([128] * 6)))

    # Chunk names and counts.
    cases["empty-chunks-2000"] = riff(chunk(b"fmt ", fmt_body()),
                                      b"".join(chunk(b"junk", b"") for _ in range(2000)),
                                      chunk(b"data", SAMPLES))
    cases["chunk-name-zero-bytes"] = riff(chunk(b"fmt ", fmt_body()), chunk(b"\0\0\0\0", b"abcd"),
                                          chunk(b"da\0a", SAMPLES), chunk(b"data", SAMPLES))
    cases["chunk-name-format-string"] = riff(chunk(b"fmt ", fmt_body()),
                                             chunk(b"%s%n", b"%n%n"), chunk(b"data", SAMPLES))
    return cases


# ---------------------------------------------------------------------------
# The settings file: the reader with its pieces of at most 1023 characters,
# and the writer.

DEFAULTS = {
    "LAST_PLAYED_FILE": b"", "MU_LAW": 1, "INVERT": 0, "PAD_FIRST_TWO_BYTES": 1,
    "AUTOSCALE": 0, "ROM_SIZE_INDEX": 1, "EIGHTBIT": 0, "SAMPLE_RATE": 24000.0,
}
READING_ORDER = ["LAST_PLAYED_FILE", "MU_LAW", "INVERT", "PAD_FIRST_TWO_BYTES", "AUTOSCALE",
                 "ROM_SIZE_INDEX", "EIGHTBIT", "SAMPLE_RATE"]


def pieces(text):
    """What fgets with a count of 1024 hands out: up to 1023 bytes, ending
    after a line feed when one comes first."""
    pos = 0
    while pos < len(text):
        end = text.find(b"\n", pos, pos + 1023)
        end = pos + 1023 if end < 0 else end + 1
        yield text[pos:end]
        pos = end


def scan_number(text):
    """"= %d" after the equals sign; None when no number, or one beyond 32 bits."""
    i = 1
    while i < len(text) and text[i:i + 1] in b" \t\n\v\f\r":
        i += 1
    negative = False
    if i < len(text) and text[i:i + 1] in b"+-":
        negative = text[i:i + 1] == b"-"
        i += 1
    start = i
    while i < len(text) and 48 <= text[i] <= 57:
        i += 1
    if i == start:
        return None
    v = int(text[start:i])
    v = -v if negative else v
    return v if -2**31 <= v < 2**31 else None


def load_settings(text):
    values = dict(DEFAULTS)
    for piece in pieces(text):
        line = piece.split(b"\0")[0]  # the reader sees a C string
        for key in READING_ORDER:
            at = line.find(key.encode())
            if at < 0:
                continue
            eq = line.find(b"=", at)
            if eq < 0:
                continue
            if key == "LAST_PLAYED_FILE":
                p = eq + 1
                while p < len(line) and line[p:p + 1] in b" \"'":
                    p += 1
                value = b""
                while p < len(line) and len(value) < 127 and line[p] >= 0x20 and \
                        line[p:p + 1] not in b"\"'":
                    value += line[p:p + 1]
                    p += 1
                values[key] = value
            else:
                n = scan_number(line[eq:])
                if n is not None:
                    values[key] = float(n) if key == "SAMPLE_RATE" else n
            break
    return values


def save_settings(values):
    out = b"* Automatically generated configuration file for QUORIX\n\n"
    if values["LAST_PLAYED_FILE"]:
        out += b"LAST_PLAYED_FILE = " + values["LAST_PLAYED_FILE"] + b"\n"
    for key in ["MU_LAW", "INVERT", "PAD_FIRST_TWO_BYTES", "AUTOSCALE", "ROM_SIZE_INDEX",
                "EIGHTBIT"]:
        out += b"%s = %d\n" % (key.encode(), values[key])
    out += b"SAMPLE_RATE = %8.0f\n" % values["SAMPLE_RATE"]
    return out


def ini_cases():
    cases = {}
    cases["empty"] = b""
    cases["saved-by-the-program"] = save_settings(dict(DEFAULTS, LAST_PLAYED_FILE=b"C:/drums/kick 1.wav",
                                                      MU_LAW=0, SAMPLE_RATE=31250.0))
    # The reader takes a line in pieces of 1023 characters: a number that
    # falls into the second piece is not seen with its key.
    cases["line-1023-chars"] = b"MU_LAW =" + b" " * 1014 + b"0\n"
    cases["line-1024-chars"] = b"MU_LAW =" + b" " * 1015 + b"0\n"
    long_line = bytearray(b"* " + b"x" * 4998)
    long_line[1018:1018 + 13] = b"AUTOSCALE = 1"  # split across the first two pieces
    long_line[2100:2100 + 12] = b"EIGHTBIT = 1"   # whole inside the third piece
    long_line[4990:5000] = b"INVERT = 1"
    cases["line-5000-chars"] = bytes(long_line) + b"\n"
    # A key with no equals sign after it lets the line go on to the next
    # reader: here AUTOSCALE takes it.
    cases["key-without-equals"] = b"MU_LAW 0\nINVERT\nAUTOSCALE = 1 MU_LAW\n"
    cases["equals-abc"] = (b"MU_LAW = abc\nINVERT = abc\nSAMPLE_RATE = abc\n"
                           b"LAST_PLAYED_FILE = abc\nEIGHTBIT=\n")
    cases["number-too-big"] = (b"MU_LAW = 9999999999\nSAMPLE_RATE = 9999999999\n"
                               b"ROM_SIZE_INDEX = 2147483648\nPAD_FIRST_TWO_BYTES = -2147483648\n"
                               b"EIGHTBIT = 2147483647\nINVERT = -2147483649\n")
    for n in (127, 128, 4096):
        name = bytes(b"abcdefghij"[i % 10] for i in range(n))
        cases["value-%d-chars" % n] = b"LAST_PLAYED_FILE = " + name + b"\n"
    cases["unclosed-quote"] = b"LAST_PLAYED_FILE = \"C:/drums/kick.wav\nMU_LAW = '0\n"
    cases["nul-bytes"] = (b"MU_LAW\0 = 0\nINVERT = \0 1\nLAST_PLAYED_FILE = kick\0snare.wav\n"
                          b"\0AUTOSCALE = 1\n")
    cases["utf8-bom"] = ("\ufeffMU_LAW = 0\nLAST_PLAYED_FILE = C:/Schlagzeug/Becken \u00fcber.wav\n"
                         ).encode("utf-8")
    cases["crlf"] = (b"LAST_PLAYED_FILE = C:/drums/tom.wav\r\nMU_LAW = 0\r\nINVERT = 1\r\n"
                     b"SAMPLE_RATE = 31250\r\n")
    cases["bare-lf"] = (b"LAST_PLAYED_FILE = C:/drums/tom.wav\nMU_LAW = 0\nINVERT = 1\n"
                        b"SAMPLE_RATE = 31250\n")
    cases["no-final-line-end"] = b"MU_LAW = 0\nSAMPLE_RATE = 31250"
    return cases


# ---------------------------------------------------------------------------

def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def main():
    wav_dir = os.path.join(CORPUS, "wav")
    ini_dir = os.path.join(CORPUS, "ini")
    for d in (wav_dir, ini_dir):
        shutil.rmtree(d, ignore_errors=True)
        os.makedirs(d)
    for name, data in wav_cases().items():
        autoscale = 1 if ".autoscale" in name else 0
        lines, image = Conversion(data, autoscale=autoscale).run()
        write(os.path.join(wav_dir, name + ".wav"), data)
        write(os.path.join(wav_dir, name + ".log"), b"".join(l + b"\n" for l in lines))
        if image:
            write(os.path.join(wav_dir, name + ".img"), image)
    for name, text in ini_cases().items():
        write(os.path.join(ini_dir, name + ".ini"), text)
        write(os.path.join(ini_dir, name + ".out"), save_settings(load_settings(text)))
    return 0


if __name__ == "__main__":
    sys.exit(main())

// Where a sound's bytes lie in a ROM image, and how an EPROM on an adapter
// holds that image: pure functions over bytes, for writing a sound into a
// ROM (a fresh one or an owner's dump) and reading it back out.
//
// A sound's place is `length` bytes from `offset`, every `step`-th byte
// (the TR-707 keeps two sounds in one region, even and odd bytes). One
// byte of the place may be the one the DAC holds while idle: the first
// (the DMX's counter moves on before the first sample) or the last (the
// TR-707's stops there). It must be silence, or the voice clicks and hums.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "voice/machine_table.h"

// The bytes the machine plays of the sound: its place less the idle byte.
size_t played_bytes(const SoundDef& sound);

// The ROM address of the i-th byte played (i < played_bytes).
uint32_t played_address(const SoundDef& sound, size_t i);

// The ROM address of the idle byte; only for idle first or last.
uint32_t idle_address(const SoundDef& sound);

// Writes `played` (at most played_bytes codes, in playing order) into the
// sound's place in `rom`, the rest of the place padded with the zero code
// and the idle byte set; every other byte of `rom` is left as it was.
// `rom` must be the size of the sound's ROM.
void place_sound(std::vector<uint8_t>* rom, const SoundDef& sound, const std::vector<uint8_t>& played);

// The bytes the machine plays of the sound, in playing order.
std::vector<uint8_t> extract_sound(const std::vector<uint8_t>& rom, const SoundDef& sound);

// A ROM of `machine` where every sound is silence: each place holds its
// zero code and idle byte, bytes outside every place the ROM's first
// sound's zero code (the machine's zero code when it has no sound).
std::vector<uint8_t> blank_rom(const MachineDef& machine, const RomDef& rom);

// The image an EPROM on the adapter `pinout` must hold so that the socket
// reads `rom` (which must be pinout.bytes, or pinout.bytes / copies, long).
std::vector<uint8_t> to_eprom(const std::vector<uint8_t>& rom, const Pinout& pinout);

// The ROM image the socket reads from such an EPROM; for copies, the copy
// the machine reads (the top one: a 27256 in a 2764 socket answers with
// A13 and A14 held high).
std::vector<uint8_t> from_eprom(const std::vector<uint8_t>& eprom, const Pinout& pinout);

// Makes `sound` (at least `length` + `overlap` samples) a loop of exactly
// `length` samples whose end runs into its start without a step: its first
// `overlap` samples are crossfaded (equal power, for the noise of a
// hi-hat) with the `overlap` samples that follow sample length-1 in the
// recording, so that sample length-1 leads into sample 0 as it led into
// sample `length`. A shorter sound is left as it is and false returned.
bool make_loop(std::vector<float>* sound, size_t length, size_t overlap);

// The codes a voice prepared for sound_view(machine, sound) plays, in
// playing order, from the files the pipeline made: its region less the
// first byte, the pipeline's stand-in for the idle byte (which place_sound
// puts where the sound's machine holds it).
std::vector<uint8_t> played_codes(const std::vector<std::vector<uint8_t>>& files, size_t count);

// The codes of a loop of `length` samples from `codes` (at least `length`
// + `overlap`), crossfaded as make_loop does on the levels of `code`, each
// level then given the code of its nearest DAC level again; false when
// `codes` is too short.
bool loop_codes(std::vector<uint8_t>* codes, size_t length, size_t overlap, SampleCode code);

#include "inspect/factory.h"

// Read from the chips of stock cards; one entry per chip.
static const FactoryImage voices[] = {
    {"Bass", "21kick.u7", "Oberheim DMX", 4096, 0x3ab63275, "83b0e61e42c9d277f205f4ff5dfcb796c05084b8",
     nullptr, "dmx"},
    {"Snare", "snare6.u7", "Oberheim DMX", 4096, 0xeca57ad7, "f65dcae905e0f7db9bf9324153ddd16a33dbdc8b",
     "plays on the snare card, at about 40.8 kHz (--machine dmx-snare)", "dmx-snare"},
    {"Hi-Hat", "hat1a.u7", "Oberheim DMX", 4096, 0x36e934f9, "e97d65bfb2d98cbf463a92d12e2ab91938757d37",
     nullptr, "dmx"},
    {"Small Toms", "stom5.u7", "Oberheim DMX", 4096, 0xe8022d72, "61a14da4d96db12b040ab9529208b165212b3693",
     nullptr, "dmx"},
    {"Large Toms", "sfltom2.u7", "Oberheim DMX", 4096, 0xf5b48db0, "a85e72a9f87838c26538e5873f6938e51a517c90",
     nullptr, "dmx"},
    {"Perc 1 (Tambourine / Rimshot)", "stik.u7", "Oberheim DMX", 4096, 0x61af39e3,
     "5648674854a8db80656bf729c4f353b75d101d7b",
     "two 2048-byte halves, one per trigger mode (--machine dmx-perc)", "dmx-perc"},
    {"Perc 2 (Shaker / Claps)", "shake6.u7", "Oberheim DMX", 4096, 0x00549f07,
     "d41c3357d486c398f882774130789c9756dfb9af",
     "two 2048-byte halves, one per trigger mode (--machine dmx-perc2)", "dmx-perc2"},
    {"Cymbal crash 1", "crash1.u12", "Oberheim DMX", 4096, 0x40d584af,
     "98702946e80892eb834433268164404fab3b0e28",
     "one of the four 2732s of the 16 KB crash sample (--machine dmx-cymbal)", "dmx-cymbal"},
    {"Cymbal crash 2", "crash2.u11", "Oberheim DMX", 4096, 0x8daf2447,
     "59c0af6c46c04ccd0eff90070de4fe08c5a47b42",
     "one of the four 2732s of the 16 KB crash sample (--machine dmx-cymbal)", "dmx-cymbal"},
    {"Cymbal crash 3", "crash3.u10", "Oberheim DMX", 4096, 0x4a41c86d,
     "baffb30659bb628d4fd9a382dc851683aad92b88",
     "one of the four 2732s of the 16 KB crash sample (--machine dmx-cymbal)", "dmx-cymbal"},
    {"Cymbal crash 4", "crash4.u9", "Oberheim DMX", 4096, 0xb30876a9,
     "fe9f906f38ad9354d043794d6c22d07c78672261",
     "one of the four 2732s of the 16 KB crash sample (--machine dmx-cymbal)", "dmx-cymbal"},
    {"Cymbal ride 1", "ride2a1.u8", "Oberheim DMX", 4096, 0x17c960e8,
     "5f4681979c6339ff1c38dc90257d14a0a7516c52",
     "one of the four 2732s of the 16 KB ride sample (--machine dmx-cymbal)", "dmx-cymbal"},
    {"Cymbal ride 2", "ride2a2.u7", "Oberheim DMX", 4096, 0x5b2198d0,
     "5e008c76f949a6357c1160e00d43631585702d45",
     "one of the four 2732s of the 16 KB ride sample (--machine dmx-cymbal)", "dmx-cymbal"},
    {"Cymbal ride 3", "ride2a3.u6", "Oberheim DMX", 4096, 0x4f67cacb,
     "8abc2c6769bd315c489969486de02b567348ea94",
     "one of the four 2732s of the 16 KB ride sample (--machine dmx-cymbal)", "dmx-cymbal"},
    {"Cymbal ride 4", "ride2a4.u5", "Oberheim DMX", 4096, 0x25656751,
     "46e5f70da82f8845dd820cbcf942bd0e7e328d56",
     "one of the four 2732s of the 16 KB ride sample (--machine dmx-cymbal)", "dmx-cymbal"},
};

const FactoryTable factory_voices = {voices, sizeof voices / sizeof voices[0]};

const FactoryImage* match_factory(const FactoryTable& table, uint64_t size, const Checksums& sums) {
  for (size_t i = 0; i < table.count; i++) {
    const FactoryImage& f = table.entries[i];
    if (f.size == size && f.crc32 == sums.crc32 && sums.sha1 == f.sha1) return &f;
  }
  return nullptr;
}

std::vector<FactoryPiece> match_factory_pieces(const FactoryTable& table, const uint8_t* data, size_t size) {
  for (size_t i = 0; i < table.count; i++) {
    uint32_t chip = table.entries[i].size;
    bool tried = false;  // each chip size once
    for (size_t k = 0; k < i; k++) tried = tried || table.entries[k].size == chip;
    if (tried || chip == 0 || size <= chip || size % chip != 0) continue;
    std::vector<FactoryPiece> pieces;
    for (size_t at = 0; at < size; at += chip) {
      const FactoryImage* found = match_factory(table, chip, checksum(data + at, chip));
      if (!found) break;
      pieces.push_back({(uint32_t)at, found});
    }
    if (pieces.size() == size / chip) return pieces;
  }
  return {};
}

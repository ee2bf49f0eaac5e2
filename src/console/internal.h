// The sixteen colour presets as console cell attributes: the low four bits are
// the foreground, the high four the background; in each, 1 is blue, 2 green,
// 4 red and 8 intensity.
#pragma once

// Static, so that no name of it leaves the file that uses it (the installed
// library exports the header's functions alone).
static inline unsigned char preset_attribute(int preset) {
  static const unsigned char attributes[16] = {0x0F, 0x0C, 0x0A, 0x0E, 0x09, 0x0D, 0x0B, 0x88,
                                               0xF8, 0xFC, 0xFA, 0xFE, 0xF9, 0xFD, 0xFB, 0xFF};
  // Compared unsigned, so negative numbers fall to preset 0 like any other stray value.
  const unsigned index = static_cast<unsigned>(preset);
  return index < 16 ? attributes[index] : attributes[0];
}

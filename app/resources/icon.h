// The program's icon: a grey lattice radio mast sending blue waves.
#pragma once

#include <cstdint>
#include <vector>

constexpr int kIconSize = 48;

// size x size ARGB pixels (not premultiplied), row by row, on a transparent
// ground. The window uses kIconSize; the desktop's icon theme larger ones.
std::vector<uint32_t> drawRadioMastIcon(int size = kIconSize);

// The program's icon: a grey lattice radio mast sending blue waves.
#pragma once

#include <cstdint>
#include <vector>

constexpr int kIconSize = 48;

// kIconSize x kIconSize ARGB pixels (not premultiplied), row by row, on a
// transparent ground.
std::vector<uint32_t> drawRadioMastIcon();

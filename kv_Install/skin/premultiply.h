// Premultiplying 32-bit BGRA pixels by their alpha, as plain C++.
#pragma once

#include <cstdint>

// bits: pixel (0, 0); pitch: bytes from row to row (may be negative).
// B, G, R become trunc(v * A / 255); A is unchanged.
void PremultiplyBgra(std::uint8_t* bits, int width, int height, int pitch);

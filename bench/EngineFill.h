// The no-op engine's fill of its back buffer, done here without a host: what
// a frame costs before anybody shows it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

// One row of the colour, copied down, as the no-op engine paints.
inline void FillAsTheEngineDoes(void* pixels, int width, int height, size_t bytesPerRow, uint32_t colour) {
    std::vector<uint32_t> colourRow(static_cast<size_t>(width), colour);
    size_t rowBytes = colourRow.size() * sizeof(uint32_t);
    for (int y = 0; y < height; ++y) {
        std::memcpy(static_cast<char*>(pixels) + static_cast<size_t>(y) * bytesPerRow, colourRow.data(), rowBytes);
    }
}

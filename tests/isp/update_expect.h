// What the update tests write and what they expect a store to hold.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "hub/CHubIsp.h"

namespace update_expect {

// An image whose bytes differ from their neighbours and from block to block.
inline std::vector<uint8_t> Pattern(size_t size, uint8_t seed) {
    std::vector<uint8_t> data(size);
    for (size_t i = 0; i < size; ++i) data[i] = static_cast<uint8_t>(i * 7 + seed + (i >> 8));
    return data;
}

// What the store must hold after an update of `data` (already stamped with
// its container ID by the update): the image padded with 0xFF and the
// checksum, high byte first, in the last two bytes.
inline std::vector<uint8_t> Expected(const std::vector<uint8_t>& data, size_t storeSize, size_t idOffset,
                                     size_t idLength, const uint8_t* id) {
    std::vector<uint8_t> image(storeSize, 0xFF);
    std::memcpy(image.data(), data.data(), data.size());
    std::memcpy(image.data() + idOffset, id, idLength);
    uint16_t sum = CalcChecksum(image.data(), static_cast<int>(storeSize - 2));
    image[storeSize - 2] = static_cast<uint8_t>(sum >> 8);
    image[storeSize - 1] = static_cast<uint8_t>(sum);
    return image;
}

}  // namespace update_expect

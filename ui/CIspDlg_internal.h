// What the main dialog's sources share: the caption and styles of its boxes,
// and what a hub's type says about the block its version is read from.
#pragma once

#include <cstdint>

#include "hub/CHubIsp.h"
#include "ui/toolkit/uiconst.h"

namespace ispdlg {

inline constexpr const char* kQuillon = "Quillon";
inline constexpr uint32_t kErrorBox = ui::kMbSystemModal | ui::kMbIconError;
inline constexpr uint32_t kInfoBox = ui::kMbSystemModal | ui::kMbIconInformation;

// Size of the configuration block read from a hub of this type.
inline int ConfigReadSize(int hubType) {
    switch (hubType) {
        case CHIP_ID_VX2240_SPI:
        case CHIP_ID_VX2240_EEPROM:
        case CHIP_ID_VX2210_SPI: return 144;
        case CHIP_ID_VX2240_EEPROM_LITE: return 256;
        default: return 512;
    }
}

inline bool IsFlashType(int hubType) {
    return hubType == CHIP_ID_VX2230_SPI || hubType == CHIP_ID_VX2240_SPI || hubType == CHIP_ID_VX2210_SPI ||
           hubType == CHIP_ID_UNKNOWN;
}

}  // namespace ispdlg

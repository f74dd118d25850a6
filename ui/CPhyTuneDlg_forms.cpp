// The registers of both tuning forms as data: which control holds which
// bits, the ranges, the names in messages and the tool tips.  Reading,
// packing, validation and the tool tips all work from these tables.
#include <cstdio>

#include "ui/CPhyTuneDlg.h"
#include "ui/phy_ids.h"
#include "ui/win32/resource.h"

namespace phytune {

namespace {

constexpr const char* kEqrTip = "RX equalizer setting";
constexpr const char* kSwTip = "TX swing control";
constexpr const char* kRswTip = "RX detect threshold";
constexpr const char* kLfthTip = "LFPS detection threshold";
constexpr const char* kEqrmTip = "Control signal for adaptive equalize";
constexpr const char* kOfd0Tip = "Calibrated parameter of comparator";

// address, per port, downstream only, read-only, name, fixed, keep, fresh
const Register k2210Registers[] = {
    {0xC0, true, true, true, "EQR_RCAL", 0, 0, 0},
    {0xC1, true, true, true, "OFD0", 0, 0, 0},
    {0xC2, true, false, false, "RSW_VVCOCDR", 0, 0, 0},
    {0xC3, true, false, false, "SW_ICPCDR", 0, 0, 0},
    {0xC4, true, false, false, "LFTH_REXT", 0, 0x80, 0},
    {0xC6, true, false, false, "SCDR", 0, 0x01, 0},
    {0xC7, true, false, false, "DEBUG_EQ", 0, 0x40, 0},
    {0xC8, false, false, false, "SSCPLL_FREQ1", 0, 0, 0},
    {0xC9, false, false, false, "SSCPLL_FREQ2", 0, 0, 0},
    {0xCA, false, false, false, "ICP_VVCO", 0, 0, 0},
    {0xDD, true, false, false, "CPDEM", 0, 0, 0},
};

// id, kind, register, shift, width, max, range name, digits, tip
const Field k2210Fields[] = {
    {IDC_TUNE_EQR, Kind::ReadOnly, 0xC0, 3, 5, 0, nullptr, 2, kEqrTip},
    {IDC_TUNE_RCAL, Kind::ReadOnly, 0xC0, 0, 3, 0, nullptr, 2, "Outputs of auto calibration circuit"},
    {IDC_TUNE_OFD0, Kind::ReadOnly, 0xC1, 0, 5, 0, nullptr, 2, kOfd0Tip},
    {IDC_TUNE_BIST, Kind::Check, 0xC2, 7, 1, 0, nullptr, 0, "BIST pattern"},
    {IDC_TUNE_RSW, Kind::List, 0xC2, 4, 3, 0, nullptr, 0, kRswTip},
    {IDC_TUNE_VVCOCDR, Kind::Edit, 0xC2, 0, 4, 15, "VVCOCDR", 2, "Control signals for CDR VCO current"},
    {IDC_TUNE_SW, Kind::List, 0xC3, 5, 3, 0, nullptr, 0, kSwTip},
    {IDC_TUNE_ICPCDR, Kind::Edit, 0xC3, 0, 5, 31, "ICPCDR", 2, "Control signals for CDR CP current"},
    {IDC_TUNE_LFTH, Kind::List, 0xC4, 5, 2, 0, nullptr, 0, kLfthTip},
    {IDC_TUNE_REXT, Kind::Check, 0xC4, 4, 1, 0, nullptr, 0, "high(1.2V), external control 45 ohm calibration code"},
    {IDC_TUNE_RRT, Kind::Edit, 0xC4, 0, 4, 15, "RRT_CTRL", 2,
     "External control 45 ohm calibration code, bypass calibration result"},
    {IDC_TUNE_SCDR, Kind::Check, 0xC6, 1, 1, 0, nullptr, 0,
     "When SCDR=1, EDET33 outputs 25MHz which is divided from CDR VCO"},
    {IDC_TUNE_EQM, Kind::Check, 0xC7, 5, 1, 0, nullptr, 0,
     "Select manual setting RX equalizer, control signal for adaptive equalizer"},
    {IDC_TUNE_EQRM, Kind::Edit, 0xC7, 0, 5, 31, "EQRM", 2, kEqrmTip},
    {IDC_TUNE_FSTEP, Kind::Edit, 0xC8, 3, 5, 31, "FSTEP", 2, "SSCPLL digitized triangular modulation step"},
    {IDC_TUNE_FMIN, Kind::List, 0xC8, 0, 3, 0, nullptr, 0, "SSCPLL MIN. frequency deviation setting"},
    {IDC_TUNE_FMAX, Kind::Edit, 0xC9, 0, 8, 255, "FMAX", 3, "SSCPLL digitized triangular modulation step"},
    // The VVCO warning names the field "VCCO", as technicians know it.
    {IDC_TUNE_VVCO, Kind::Edit, 0xCA, 4, 4, 15, "VCCO", 2, "SSCPLL bandwidth setting. CP current control"},
    {IDC_TUNE_ICP, Kind::Edit, 0xCA, 0, 4, 15, "ICP", 2, "SSCPLL VCO voltage setting"},
    {IDC_TUNE_FORCE_DEM, Kind::Check, 0xDD, 7, 1, 0, nullptr, 0, "Firmware indicates it wants to control DEM value"},
    {IDC_TUNE_DEM_VALUE, Kind::List, 0xDD, 5, 2, 0, nullptr, 0, "The value of DEM value to serdes that firmware wants"},
    {IDC_TUNE_FORCE_CP, Kind::Check, 0xDD, 4, 1, 0, nullptr, 0, "Firmware indicates it wants to control CP value"},
    {IDC_TUNE_CP_VALUE, Kind::Edit, 0xDD, 0, 4, 15, "CP_VALUE", 2,
     "The value of compliance pattern that firmware wants"},
};

const Register k2240Registers[] = {
    {0x11, false, false, true, "EQR", 0, 0, 0},
    {0x12, false, false, true, "RCAL_OFD0", 0, 0, 0},
    {0x01, false, false, false, "EQM_EQRM", 0x80, 0, 0},
    {0x02, false, false, false, "SW_RSW", 0x18, 0, 0},
    {0x04, false, false, false, "ICP", 0, 0, 0},
    // Bit 1 belongs to the hub: it is read again right before each write.
    {0x05, false, false, false, "VVCO_SSC", 0x04, 0, 0x02},
    {0x06, false, false, false, "LFTH", 0x98, 0, 0},
    {0x09, false, false, false, "SCDR_ICPCDR", 0, 0, 0},
    {0x0A, false, false, false, "SELPORT_VVCOCDR", 0, 0, 0},
};

constexpr const char* kSscTip = "Control signals for SSC PLL";
constexpr const char* kCdrTip = "Control signals for CDR";

const Field k2240Fields[] = {
    {IDC_TUNE_EQR, Kind::ReadOnly, 0x11, 0, 5, 0, nullptr, 2, kEqrTip},
    {IDC_TUNE_RCAL, Kind::ReadOnly, 0x12, 5, 3, 0, nullptr, 2, "Calibrated parameter of R45"},
    {IDC_TUNE_OFD0, Kind::ReadOnly, 0x12, 0, 5, 0, nullptr, 2, kOfd0Tip},
    {IDC_TUNE_EQM, Kind::Check, 0x01, 5, 1, 0, nullptr, 0, "Control signal for adaptive equalizer"},
    {IDC_TUNE_EQRM, Kind::Edit, 0x01, 0, 5, 31, "EQRM", 2, kEqrmTip},
    {IDC_TUNE_SW, Kind::List, 0x02, 5, 3, 0, nullptr, 0, kSwTip},
    {IDC_TUNE_RSW, Kind::List, 0x02, 0, 3, 0, nullptr, 0, kRswTip},
    {IDC_TUNE_ICP, Kind::Edit, 0x04, 0, 8, 255, "ICP", 3, kSscTip},
    {IDC_TUNE_VVCO, Kind::Edit, 0x05, 4, 4, 15, "VVCO", 2, kSscTip},
    {IDC_TUNE_SSC, Kind::Check, 0x05, 3, 1, 0, nullptr, 0, kSscTip},
    {IDC_TUNE_LFTH, Kind::List, 0x06, 5, 2, 0, nullptr, 0, kLfthTip},
    {IDC_TUNE_SCDR, Kind::Check, 0x09, 5, 1, 0, nullptr, 0, kCdrTip},
    {IDC_TUNE_ICPCDR, Kind::Edit, 0x09, 0, 5, 31, "ICPCDR", 2, kCdrTip},
    {IDC_TUNE_SELPORT, Kind::List, 0x0A, 4, 3, 0, nullptr, 0, "Select port V, W, X, Y, Z"},
    {IDC_TUNE_VVCOCDR, Kind::Edit, 0x0A, 0, 4, 15, "VVCOCDR", 2, kCdrTip},
};

template <class T, int N>
constexpr int Count(const T (&)[N]) {
    return N;
}

}  // namespace

const Form& Vx2210Form() {
    static const Form form{IDD_PHY_TUNE_2210, k2210Registers, Count(k2210Registers), k2210Fields, Count(k2210Fields),
                           true};
    return form;
}

const Form& Vx2240Form() {
    static const Form form{IDD_PHY_TUNE_2240, k2240Registers, Count(k2240Registers), k2240Fields, Count(k2240Fields),
                           false};
    return form;
}

const Form* FormForHubType(int hubType) {
    switch (hubType) {
    case CHIP_ID_VX2210_SPI: return &Vx2210Form();
    case CHIP_ID_VX2240_SPI:
    case CHIP_ID_VX2240_EEPROM:
    case CHIP_ID_VX2240_EEPROM_LITE: return &Vx2240Form();
    default: return nullptr;
    }
}

std::string RangeWarning(const Field& f) {
    char text[128];
    std::snprintf(text, sizeof text, "Out of range warning! The value of [%s] field should be 0~%d.", f.rangeName,
                  f.max);
    return text;
}

uint8_t Pack(const Form& form, const Register& r, const int* fieldValues, uint8_t lastRead, uint8_t freshRead) {
    unsigned v = r.fixed | (lastRead & r.keep) | (freshRead & r.fresh);
    for (int i = 0; i < form.fieldCount; ++i) {
        const Field& f = form.fields[i];
        if (f.address != r.address || f.kind == Kind::ReadOnly) continue;
        const unsigned mask = (1u << f.width) - 1;
        v |= (static_cast<unsigned>(fieldValues[i]) & mask) << f.shift;
    }
    return static_cast<uint8_t>(v);
}

}  // namespace phytune

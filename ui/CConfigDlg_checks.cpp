// The configurations editor's checks: ValidateConfig before a block is
// written, the live checks of the seven validated edit fields, and the
// interlocks that keep the controls consistent with each other.
#include <algorithm>
#include <cstdlib>

#include "ui/CConfigDlg.h"
#include "ui/config_ids.h"

namespace {

constexpr uint32_t kErrorBox = ui::kMbSystemModal | ui::kMbIconError;
constexpr const char* kConfigurations = "Configurations";
constexpr const char* kQuillon = "Quillon";

// The seven validated fields, in the order of the last accepted texts.
constexpr int kValidated[7] = {IDC_CFG_VID,    IDC_CFG_HSPID,  IDC_CFG_SSPID, IDC_CFG_VENDOR,
                               IDC_CFG_HSPROD, IDC_CFG_SSPROD, IDC_CFG_SERIAL};

bool IsHexText(const std::string& s) {
    return std::all_of(s.begin(), s.end(), [](char ch) { return (ch >= '0' && ch <= '9') || (ch >= 'A' && ch <= 'F'); });
}
bool IsPrintableText(const std::string& s) {
    return std::all_of(s.begin(), s.end(), [](char ch) {
        unsigned char u = static_cast<unsigned char>(ch);
        return u >= 32 && u <= 126;
    });
}
// Decimal value of the leading digits; non-digits give 0.
int DecimalValue(const std::string& s) { return static_cast<int>(std::strtol(s.c_str(), nullptr, 10)); }

const char* HexFieldName(int id) { return id == IDC_CFG_VID ? "VID" : id == IDC_CFG_HSPID ? "PID" : "SSPID"; }
const char* StringFieldName(int id) {
    switch (id) {
        case IDC_CFG_VENDOR: return "Vendor string";
        case IDC_CFG_HSPROD: return "HS Product string";
        case IDC_CFG_SSPROD: return "SS Product string";
        default: return "Serial string";
    }
}

}  // namespace

std::string& CConfigDlg::LastText(int id) {
    for (int i = 0; i < 7; ++i)
        if (kValidated[i] == id) return m_last[i];
    return m_last[0];
}

// --- ValidateConfig ------------------------------------------------------------------

bool CConfigDlg::ValidateConfig(HubConfig& c) {
    auto refuse = [&](const std::string& text, int focus) {
        MessageBox(text, kConfigurations, kErrorBox);
        if (Has(focus)) Host().SetFocus(focus);
        return false;
    };
    const std::string vid = GetText(IDC_CFG_VID);
    if (vid.size() < 4) return refuse("Wrong VID string length! Must fit 4-byte long.", IDC_CFG_VID);
    const std::string hsPid = GetText(IDC_CFG_HSPID);
    if (hsPid.size() < 4) return refuse("Wrong PID string length! Must fit 4-byte long.", IDC_CFG_HSPID);
    const std::string ssPid = GetText(IDC_CFG_SSPID);
    if (ssPid.size() < 4) return refuse("Wrong SSPID string length! Must fit 4-byte long.", IDC_CFG_SSPID);
    if (Ticked(IDC_CFG_SERIAL_EN) && GetText(IDC_CFG_SERIAL).empty())
        return refuse("Please input Serial String or disable it.", IDC_CFG_SERIAL);
    c.vid = static_cast<uint16_t>(std::strtoul(vid.c_str(), nullptr, 16));
    c.hsPid = static_cast<uint16_t>(std::strtoul(hsPid.c_str(), nullptr, 16));
    c.ssPid = static_cast<uint16_t>(std::strtoul(ssPid.c_str(), nullptr, 16));
    c.vendor = GetText(IDC_CFG_VENDOR);
    c.hsProduct = GetText(IDC_CFG_HSPROD);
    c.ssProduct = GetText(IDC_CFG_SSPROD);
    c.serial = GetText(IDC_CFG_SERIAL);
    c.hsMaxPowerMa = DecimalValue(GetText(IDC_CFG_HSPOWER));
    c.ssMaxPowerMa = DecimalValue(GetText(IDC_CFG_SSPOWER));
    c.powerGoodMs = DecimalValue(GetText(IDC_CFG_PGOOD));
    // The block keeps half of these values in one byte: above 511 the stored
    // value would silently wrap (600 mA would come back as 88 mA).
    if (c.hsMaxPowerMa > 511)
        return refuse("HS Max Power must be 0 to 511 mA: the hub stores half of it in one byte.", IDC_CFG_HSPOWER);
    if (c.powerGoodMs > 511)
        return refuse("Power Good Time must be 0 to 511 ms: the hub stores half of it in one byte.", IDC_CFG_PGOOD);
    c.usb2Ports = RadioCount(IDC_CFG_PORT2_1);
    if (c.usb2Ports == 0) return refuse("Wrong Number of Ports", IDC_CFG_PORT2_1);
    c.usb3Ports = RadioCount(IDC_CFG_PORT3_1);
    return true;
}

// --- live checks ----------------------------------------------------------------------

void CConfigDlg::LiveCheck(int id) {
    // Only what the user typed is checked: a text the editor set itself
    // (decoding, putting back) clears the modified flag.
    if (m_checking || !Host().IsModified(id)) return;
    const std::string text = GetText(id);
    const bool hex = id == IDC_CFG_VID || id == IDC_CFG_HSPID || id == IDC_CFG_SSPID;
    if (hex ? IsHexText(text) : IsPrintableText(text)) {
        if (!hex || text.size() == 4) LastText(id) = text;
        return;
    }
    m_checking = true;
    if (hex)
        MessageBox(std::string(HexFieldName(id)) +
                       " contains invalid character!\n\nThis field is represented in hexadecimal format that each "
                       "character would be 0~9, A~F.\nAny other character is forbidden.",
                   kQuillon, kErrorBox);
    else
        MessageBox(std::string(StringFieldName(id)) +
                       " includes invalid character!\n\nThe string shall be alphanumeric format.",
                   kQuillon, kErrorBox);
    SetText(id, LastText(id));
    m_checking = false;
}

void CConfigDlg::PowerGoodLostFocus() {
    if (m_checking) return;
    const std::string text = GetText(IDC_CFG_PGOOD);
    if (text.empty() || text == "0") {
        if (text.empty()) SetText(IDC_CFG_PGOOD, "0");
        Tick(IDC_CFG_POLYFUSE, true);
    } else {
        Tick(IDC_CFG_POLYFUSE, false);
    }
}

// --- radio groups ----------------------------------------------------------------------

int CConfigDlg::RadioCount(int first) const {
    for (int i = 0; i < 4; ++i)
        if (Ticked(first + i)) return i + 1;
    return 0;
}

void CConfigDlg::SelectRadio(int first, int count) {
    for (int i = 0; i < 4; ++i) Tick(first + i, i + 1 == count);
}

// --- interlocks -------------------------------------------------------------------------

void CConfigDlg::UpdatePortControls() {
    const int h = RadioCount(IDC_CFG_PORT2_1);
    const int s = RadioCount(IDC_CFG_PORT3_1);
    const int low = std::min(h, s);
    const int high = std::max(h, s);
    for (int n = 1; n <= 4; ++n) {
        // The compact form ties every per-port group to the smaller count.
        const int chargeLimit = m_page ? low : high;
        On(IDC_CFG_CHARGE_1 + n - 1, n <= chargeLimit);
        On(IDC_CFG_NONREM_1 + n - 1, n <= chargeLimit);
        On(IDC_CFG_2280_1 + n - 1, n <= low);
        On(IDC_CFG_TX_1 + n - 1, n <= s);
        if (n > (m_page ? low : h)) Tick(IDC_CFG_CHARGE_1 + n - 1, false);
        if (n > low) {
            Tick(IDC_CFG_NONREM_1 + n - 1, false);
            Tick(IDC_CFG_2280_1 + n - 1, false);
        }
        if (n > s) Tick(IDC_CFG_TX_1 + n - 1, false);
    }
    UpdateFastCharging();
}

void CConfigDlg::UpdateFastCharging() {
    bool any = false;
    for (int n = 0; n < 4; ++n) any = any || Ticked(IDC_CFG_CHARGE_1 + n);
    if (!any) {
        for (int id : {IDC_CFG_APPLE, IDC_CFG_SMARTCDP, IDC_CFG_DCP, IDC_CFG_CDP}) On(id, false);
        for (int id : {IDC_CFG_APPLE, IDC_CFG_SMARTCDP, IDC_CFG_DCP}) Tick(id, false);
        return;
    }
    for (int id : {IDC_CFG_SMARTCDP, IDC_CFG_DCP, IDC_CFG_CDP}) On(id, true);
    if (m_hubType != 1) On(IDC_CFG_APPLE, true);
}

void CConfigDlg::UpdateSmartPowerAfterDecode() {
    const int self = Has(IDC_CFG_SELF) ? Host().Selection(IDC_CFG_SELF) : 0;
    const int bus = Has(IDC_CFG_BUS) ? Host().Selection(IDC_CFG_BUS) : 0;
    if (m_page) {
        const bool free = !Ticked(IDC_CFG_BUSPOWER_ONLY);
        On(IDC_CFG_SELF, free);
        On(IDC_CFG_BUS, free);
        return;
    }
    const bool smart = self > 0 || bus > 0;
    Tick(IDC_CFG_SMART, smart);
    if (!smart) {
        On(IDC_CFG_SELF, false);
        On(IDC_CFG_BUS, false);
    }
    if (self <= 0) On(IDC_CFG_LBL_SELF, false);
    if (bus <= 0) On(IDC_CFG_LBL_BUS, false);
}

void CConfigDlg::EnableSeparatedLedPeers(bool enable) {
    for (int id : {IDC_CFG_LED_OFF, IDC_CFG_LED_BREATH, IDC_CFG_BREATH, IDC_CFG_LBL_BREATH, IDC_CFG_LBL_BREATH2,
                   IDC_CFG_LBL_SUSPEND})
        On(id, enable);
}

void CConfigDlg::ApplyBreathingEntry(int entry) {
    for (int id : {IDC_CFG_SEPLED, IDC_CFG_LED_OFF, IDC_CFG_LED_BREATH, IDC_CFG_LED_FLICKER}) {
        On(id, true);
        Tick(id, false);
    }
    if (entry == kBreathingDisabled) {
        Tick(IDC_CFG_LED_OFF, true);
        On(IDC_CFG_LED_FLICKER, false);
    } else {
        Tick(IDC_CFG_LED_FLICKER, true);
        On(IDC_CFG_SEPLED, false);
        On(IDC_CFG_LED_OFF, false);
    }
    // The hidden operating-mode boxes are another view of the same bits.
    Tick(IDC_CFG_OPMODE, entry != kBreathingDisabled);
    Tick(IDC_CFG_OPMODE_LED, entry == kBreathingOnUfp);
}

void CConfigDlg::OnListChanged(int id) {
    if (!Has(id)) return;
    const int sel = Host().Selection(id);
    if (id == IDC_CFG_BREATH) ApplyBreathingEntry(sel < 0 ? 0 : sel);
    if (id == IDC_CFG_SELF) On(IDC_CFG_LBL_SELF, true);
    if (id == IDC_CFG_BUS) On(IDC_CFG_LBL_BUS, true);
}

void CConfigDlg::OnClicked(int id) {
    const bool checked = Ticked(id);
    if (id >= IDC_CFG_PORT2_1 && id <= IDC_CFG_PORT3_4 && id != IDC_CFG_GRP_PORT3) {
        UpdatePortControls();
        return;
    }
    if (id >= IDC_CFG_CHARGE_1 && id <= IDC_CFG_CHARGE_4) {
        if (checked) {
            Tick(IDC_CFG_2280_1 + id - IDC_CFG_CHARGE_1, false);
            Tick(IDC_CFG_NONREM_1 + id - IDC_CFG_CHARGE_1, false);
        }
        UpdateFastCharging();
        return;
    }
    if ((id >= IDC_CFG_2280_1 && id <= IDC_CFG_2280_4) || (id >= IDC_CFG_NONREM_1 && id <= IDC_CFG_NONREM_4)) {
        const int port = id >= IDC_CFG_2280_1 ? id - IDC_CFG_2280_1 : id - IDC_CFG_NONREM_1;
        if (checked) Tick(IDC_CFG_CHARGE_1 + port, false);
        UpdateFastCharging();
        return;
    }
    switch (id) {
        case IDC_CFG_DCP:
            if (checked) {
                On(IDC_CFG_OVCUR, true);
            } else {
                if (m_hubType != 1) Tick(IDC_CFG_APPLE, false);
                Tick(IDC_CFG_OVCUR, false);
                On(IDC_CFG_OVCUR, false);
            }
            break;
        case IDC_CFG_APPLE:
            if (checked) {
                Tick(IDC_CFG_DCP, true);
                On(IDC_CFG_OVCUR, true);
            }
            break;
        case IDC_CFG_SMART:
            if (Has(IDC_CFG_SELF)) Host().SetSelection(IDC_CFG_SELF, 0);
            On(IDC_CFG_SELF, checked);
            On(IDC_CFG_LBL_SELF, checked);
            On(IDC_CFG_BUS, checked && Ticked(IDC_CFG_BUSPOWER));
            On(IDC_CFG_LBL_BUS, checked && Ticked(IDC_CFG_BUSPOWER));
            break;
        case IDC_CFG_BUSPOWER:
            if (!checked && Has(IDC_CFG_BUS)) Host().SetSelection(IDC_CFG_BUS, 0);
            On(IDC_CFG_BUS, checked && Ticked(IDC_CFG_SMART));
            On(IDC_CFG_LBL_BUS, checked && Ticked(IDC_CFG_SMART));
            break;
        case IDC_CFG_BUSPOWER_ONLY:
            if (checked) {
                Host().SetSelection(IDC_CFG_SELF, 0);
                Host().SetSelection(IDC_CFG_BUS, 0);
            }
            On(IDC_CFG_SELF, !checked);
            On(IDC_CFG_BUS, !checked);
            break;
        case IDC_CFG_SEPLED: EnableSeparatedLedPeers(!checked); break;
        case IDC_CFG_LED_BREATH: On(IDC_CFG_SEPLED, false); break;
        case IDC_CFG_LED_OFF: On(IDC_CFG_SEPLED, true); break;
        case IDC_CFG_STRAP:
            for (int box : {IDC_CFG_GRP_STRAP, IDC_CFG_STRAP_CHARGE, IDC_CFG_STRAP_PORTNO, IDC_CFG_STRAP_PSWPOLY,
                            IDC_CFG_STRAP_NONREMV, IDC_CFG_STRAP_PSWHL}) {
                On(box, checked);
                if (!checked && box != IDC_CFG_GRP_STRAP) Tick(box, false);
            }
            break;
        case IDC_CFG_POLYFUSE: SetText(IDC_CFG_PGOOD, checked ? "0" : m_lastPowerGood); break;
        case IDC_CFG_SERIAL_EN:
            On(IDC_CFG_SERIAL, checked);
            if (!checked) {
                SetText(IDC_CFG_SERIAL, "");
                LastText(IDC_CFG_SERIAL).clear();
            }
            break;
        case IDC_CFG_OPMODE:
            if (!checked) Tick(IDC_CFG_OPMODE_LED, false);
            break;
        case IDC_CFG_OPMODE_LED:
            if (checked) Tick(IDC_CFG_OPMODE, true);
            break;
        default: break;
    }
}

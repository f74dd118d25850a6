// The configurations editor's field table and the glue between its controls
// and the configuration block model (files/ConfigBlock.h), which alone knows
// the bytes.
#include "ui/CConfigDlg.h"

#include <cstdio>

#include "ui/config_ids.h"

namespace {

using K = ConfigFieldKind;
using G = ConfigGate;

#define CFG_FLAG(member) [](HubConfig& c) -> bool* { return &c.member; }

const std::vector<ConfigField> kFields = {
    // Hub identity.
    {IDC_CFG_GRP_HUBID, K::Group, G::HubId, G::None, -1, 0, nullptr},
    {IDC_CFG_LBL_VID, K::Label, G::HubId, G::None, -1, 0, nullptr},
    {IDC_CFG_VID, K::Edit, G::HubId, G::None, 0x01, 0, nullptr},
    {IDC_CFG_LBL_HSPID, K::Label, G::HubId, G::None, -1, 0, nullptr},
    {IDC_CFG_HSPID, K::Edit, G::HubId, G::None, 0x05, 0, nullptr},
    {IDC_CFG_LBL_SSPID, K::Label, G::HubId, G::None, -1, 0, nullptr},
    {IDC_CFG_SSPID, K::Edit, G::HubId, G::None, 0x03, 0, nullptr},
    // Hub power.
    {IDC_CFG_GRP_POWER, K::Group, G::HubPower, G::None, -1, 0, nullptr},
    {IDC_CFG_LBL_HSPOWER, K::Label, G::HubPower, G::None, -1, 0, nullptr},
    {IDC_CFG_HSPOWER, K::Edit, G::HubPower, G::None, 0x0B, 0, nullptr},
    {IDC_CFG_UNIT_HSPOWER, K::Label, G::HubPower, G::None, -1, 0, nullptr},
    {IDC_CFG_LBL_SSPOWER, K::Label, G::HubPower, G::None, -1, 0, nullptr},
    {IDC_CFG_SSPOWER, K::Edit, G::HubPower, G::None, 0x0A, 0, nullptr},
    {IDC_CFG_UNIT_SSPOWER, K::Label, G::HubPower, G::None, -1, 0, nullptr},
    {IDC_CFG_LBL_PGOOD, K::Label, G::HubPower, G::None, -1, 0, nullptr},
    {IDC_CFG_PGOOD, K::Edit, G::HubPower, G::None, 0x10, 0, nullptr},
    {IDC_CFG_UNIT_PGOOD, K::Label, G::HubPower, G::None, -1, 0, nullptr},
    {IDC_CFG_POLYFUSE, K::Check, G::HubPower, G::None, 0x07, 0x40, CFG_FLAG(polyfuse)},
    // Hub strings.
    {IDC_CFG_GRP_STRING, K::Group, G::HubString, G::None, -1, 0, nullptr},
    {IDC_CFG_LBL_VENDOR, K::Label, G::HubString, G::None, -1, 0, nullptr},
    {IDC_CFG_VENDOR, K::Edit, G::HubString, G::None, 0x20, 0, nullptr},
    {IDC_CFG_LBL_HSPROD, K::Label, G::HubString, G::None, -1, 0, nullptr},
    {IDC_CFG_HSPROD, K::Edit, G::HubString, G::None, 0x40, 0, nullptr},
    {IDC_CFG_LBL_SSPROD, K::Label, G::HubString, G::None, -1, 0, nullptr},
    {IDC_CFG_SSPROD, K::Edit, G::HubString, G::None, 0x60, 0, nullptr},
    {IDC_CFG_LBL_SERIAL, K::Label, G::HubString, G::None, -1, 0, nullptr},
    {IDC_CFG_SERIAL, K::Edit, G::HubString, G::None, 0x80, 0, nullptr},
    {IDC_CFG_SERIAL_EN, K::Check, G::HubString, G::None, 0x00, 0xFF, CFG_FLAG(serialStringEnabled)},
    // Others.
    {IDC_CFG_GRP_OTHERS, K::Group, G::OthersBasic, G::None, -1, 0, nullptr},
    {IDC_CFG_PWRSW_HIGH, K::Check, G::OthersBasic, G::None, 0x07, 0x20, CFG_FLAG(powerSwitchHigh)},
    {IDC_CFG_SSC, K::Check, G::OthersBasic, G::None, 0x07, 0x02, CFG_FLAG(ssc)},
    {IDC_CFG_BUSPOWER, K::Check, G::OthersBasic, G::None, 0x12, 0x04, CFG_FLAG(supportBusPower)},
    {IDC_CFG_RWU, K::Check, G::OthersOnly, G::None, 0x07, 0x08, CFG_FLAG(remoteWakeup)},
    {IDC_CFG_USB2LPM, K::Check, G::OthersOnly, G::None, 0x07, 0x10, CFG_FLAG(usb2Lpm)},
    {IDC_CFG_USB3LPM, K::Check, G::OthersOnly, G::None, 0x07, 0x01, CFG_FLAG(usb3Lpm)},
    {IDC_CFG_PORT_IND, K::Check, G::OthersOnly, G::None, 0x0C, 0x01, CFG_FLAG(portIndicator)},
    {IDC_CFG_PWRSW_PORT3, K::Check, G::OthersOnly, G::None, 0x12, 0x01, nullptr},
    // Port numbers.
    {IDC_CFG_GRP_PORT2, K::Group, G::PortNum, G::None, -1, 0, nullptr},
    {IDC_CFG_PORT2_1, K::Radio, G::PortNum, G::None, 0x09, 0, nullptr},
    {IDC_CFG_PORT2_2, K::Radio, G::PortNum, G::None, 0x09, 0, nullptr},
    {IDC_CFG_PORT2_3, K::Radio, G::PortNum, G::None, 0x09, 0, nullptr},
    {IDC_CFG_PORT2_4, K::Radio, G::PortNum, G::None, 0x09, 0, nullptr},
    {IDC_CFG_GRP_PORT3, K::Group, G::PortNum, G::None, -1, 0, nullptr},
    {IDC_CFG_PORT3_1, K::Radio, G::PortNum, G::None, 0x15, 0, nullptr},
    {IDC_CFG_PORT3_2, K::Radio, G::PortNum, G::None, 0x15, 0, nullptr},
    {IDC_CFG_PORT3_3, K::Radio, G::PortNum, G::None, 0x15, 0, nullptr},
    {IDC_CFG_PORT3_4, K::Radio, G::PortNum, G::None, 0x15, 0, nullptr},
    {IDC_CFG_GRP_NONREM, K::Group, G::PortNum, G::None, -1, 0, nullptr},
    {IDC_CFG_NONREM_1, K::Check, G::PortNum, G::None, 0x08, 0x02, CFG_FLAG(nonRemovable[0])},
    {IDC_CFG_NONREM_2, K::Check, G::PortNum, G::None, 0x08, 0x04, CFG_FLAG(nonRemovable[1])},
    {IDC_CFG_NONREM_3, K::Check, G::PortNum, G::None, 0x08, 0x08, CFG_FLAG(nonRemovable[2])},
    {IDC_CFG_NONREM_4, K::Check, G::PortNum, G::None, 0x08, 0x10, CFG_FLAG(nonRemovable[3])},
    // Charging.
    {IDC_CFG_GRP_CHARGE, K::Group, G::Charging, G::None, -1, 0, nullptr},
    {IDC_CFG_CHARGE_1, K::Check, G::Charging, G::None, 0x0D, 0x01, CFG_FLAG(chargingPort[0])},
    {IDC_CFG_CHARGE_2, K::Check, G::Charging, G::None, 0x0D, 0x02, CFG_FLAG(chargingPort[1])},
    {IDC_CFG_CHARGE_3, K::Check, G::Charging, G::None, 0x0D, 0x04, CFG_FLAG(chargingPort[2])},
    {IDC_CFG_CHARGE_4, K::Check, G::Charging, G::None, 0x0D, 0x08, CFG_FLAG(chargingPort[3])},
    {IDC_CFG_GRP_FAST, K::Group, G::Charging, G::None, -1, 0, nullptr},
    {IDC_CFG_APPLE, K::Check, G::Charging, G::None, 0x19, 0x40, CFG_FLAG(appleSamsung)},
    {IDC_CFG_SMARTCDP, K::Check, G::Charging, G::None, 0x19, 0x20, CFG_FLAG(smartCdp)},
    {IDC_CFG_DCP, K::Check, G::Charging, G::None, 0x19, 0x10, CFG_FLAG(dcp)},
    {IDC_CFG_CDP, K::Check, G::Charging, G::None, 0x1B, 0x80, CFG_FLAG(cdp)},
    // TX swap.
    {IDC_CFG_GRP_TX, K::Group, G::Tx, G::None, -1, 0, nullptr},
    {IDC_CFG_TX_UP, K::Check, G::Tx, G::None, 0x14, 0x01, CFG_FLAG(txSwapUpstream)},
    {IDC_CFG_TX_1, K::Check, G::Tx, G::None, 0x14, 0x02, CFG_FLAG(txSwap[0])},
    {IDC_CFG_TX_2, K::Check, G::Tx, G::None, 0x14, 0x04, CFG_FLAG(txSwap[1])},
    {IDC_CFG_TX_3, K::Check, G::Tx, G::None, 0x14, 0x08, CFG_FLAG(txSwap[2])},
    {IDC_CFG_TX_4, K::Check, G::Tx, G::None, 0x14, 0x10, CFG_FLAG(txSwap[3])},
    // LED control.
    {IDC_CFG_GRP_LED, K::Group, G::Led, G::None, -1, 0, nullptr},
    {IDC_CFG_SEPLED, K::Check, G::Led, G::OthersBasic, 0x07, 0x04, CFG_FLAG(separatedLed)},
    {IDC_CFG_LBL_BREATH, K::Label, G::Led, G::None, -1, 0, nullptr},
    {IDC_CFG_BREATH, K::List, G::Led, G::None, 0x12, 0x60, nullptr},
    {IDC_CFG_LBL_BREATH2, K::Label, G::Led, G::None, -1, 0, nullptr},
    {IDC_CFG_LBL_SUSPEND, K::Label, G::Led, G::None, -1, 0, nullptr},
    {IDC_CFG_LED_OFF, K::Radio, G::Led, G::None, 0x19, 0x04, nullptr},
    {IDC_CFG_LED_BREATH, K::Radio, G::Led, G::None, 0x19, 0x04, nullptr},
    {IDC_CFG_LED_FLICKER, K::Radio, G::Led, G::None, 0x19, 0x04, nullptr},
    // Smart power.
    {IDC_CFG_GRP_SMART, K::Group, G::SmartPower, G::None, -1, 0, nullptr},
    {IDC_CFG_SMART, K::Check, G::SmartPower, G::None, 0x07, 0x80, nullptr},
    {IDC_CFG_LBL_SELF, K::Label, G::SmartPower, G::None, -1, 0, nullptr},
    {IDC_CFG_SELF, K::List, G::SmartPower, G::None, 0x1A, 0x0F, nullptr},
    {IDC_CFG_LBL_BUS, K::Label, G::SmartPower, G::None, -1, 0, nullptr},
    {IDC_CFG_BUS, K::List, G::SmartPower, G::None, 0x1A, 0xF0, nullptr},
    {IDC_CFG_BUSPOWER_ONLY, K::Check, G::SmartPower, G::None, 0x12, 0x04, nullptr},
    // Special function.
    {IDC_CFG_GRP_SPECIAL, K::Group, G::Special, G::None, -1, 0, nullptr},
    {IDC_CFG_RENESAS, K::Check, G::Special, G::None, 0x19, 0x80, CFG_FLAG(renesasPatch)},
    {IDC_CFG_GAND, K::Check, G::Special, G::None, 0x12, 0x01, CFG_FLAG(pwrswGand)},
    {IDC_CFG_RESET, K::Check, G::Special, G::None, 0x12, 0x02, CFG_FLAG(pwrswReset)},
    {IDC_CFG_DCPHS, K::Check, G::Special, G::None, 0x12, 0x08, CFG_FLAG(dcpHiSpeed)},
    {IDC_CFG_OVCUR, K::Check, G::Special, G::None, 0x19, 0x01, CFG_FLAG(ovcurWithoutVbus)},
    {IDC_CFG_OPMODE, K::Check, G::Special, G::None, 0x12, 0x40, nullptr},
    {IDC_CFG_LEDPWM, K::Check, G::Special, G::None, 0x12, 0x80, CFG_FLAG(ledPwmFs)},
    {IDC_CFG_OPMODE_LED, K::Check, G::Special, G::None, 0x12, 0x20, nullptr},
    // Strapping.
    {IDC_CFG_STRAP, K::Check, G::Strapping, G::None, 0x12, 0x10, CFG_FLAG(supportStrap)},
    {IDC_CFG_GRP_STRAP, K::Group, G::Strapping, G::None, -1, 0, nullptr},
    {IDC_CFG_STRAP_CHARGE, K::Check, G::Strapping, G::None, 0x18, 0x01, CFG_FLAG(strapCharge)},
    {IDC_CFG_STRAP_PORTNO, K::Check, G::Strapping, G::None, 0x18, 0x02, CFG_FLAG(strapPortNo)},
    {IDC_CFG_STRAP_PSWPOLY, K::Check, G::Strapping, G::None, 0x18, 0x04, CFG_FLAG(strapPswPoly)},
    {IDC_CFG_STRAP_NONREMV, K::Check, G::Strapping, G::None, 0x18, 0x08, CFG_FLAG(strapPortNonRemv)},
    {IDC_CFG_STRAP_PSWHL, K::Check, G::Strapping, G::None, 0x18, 0x10, CFG_FLAG(strapPswHl)},
    // VX2280/2281 ports.
    {IDC_CFG_GRP_2280, K::Group, G::Port2280, G::None, -1, 0, nullptr},
    {IDC_CFG_2280_1, K::Check, G::Port2280, G::None, 0x13, 0x02, CFG_FLAG(vx2280Port[0])},
    {IDC_CFG_2280_2, K::Check, G::Port2280, G::None, 0x13, 0x04, CFG_FLAG(vx2280Port[1])},
    {IDC_CFG_2280_3, K::Check, G::Port2280, G::None, 0x13, 0x08, CFG_FLAG(vx2280Port[2])},
    {IDC_CFG_2280_4, K::Check, G::Port2280, G::None, 0x13, 0x10, CFG_FLAG(vx2280Port[3])},
};

#undef CFG_FLAG

std::string Hex4(unsigned v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04X", v & 0xFFFF);
    return buf;
}

}  // namespace

const std::vector<ConfigField>& ConfigFields() { return kFields; }

bool ConfigGateOpen(ConfigGate gate, const std::string& lower) {
    auto has = [&](const char* word) { return lower.find(word) != std::string::npos; };
    const bool basic = has("basicfunc");
    switch (gate) {
        case G::None: return true;
        case G::HubId: return basic || has("hubid");
        case G::HubPower: return basic || has("hubpower");
        case G::HubString: return basic || has("hubstring");
        case G::OthersBasic: return basic || has("others");
        case G::OthersOnly: return has("others");
        case G::PortNum: return basic || has("portnum");
        case G::Charging: return basic || has("charging");
        case G::Tx: return basic || has("tx");
        case G::Led: return basic || has("led");
        case G::SmartPower: return basic || has("smartpower");
        case G::Special: return has("special");
        case G::Strapping: return has("strapping");
        case G::Port2280: return has("2280port");
    }
    return false;
}

int CConfigDlg::BlockSize() const {
    ConfigFormat f;
    return ConfigFormatForHubType(m_hubType, &f) ? f.size : 0;
}

ConfigFormat CConfigDlg::Format() const {
    ConfigFormat f;
    ConfigFormatForHubType(m_hubType, &f);
    f.form = m_page ? ConfigForm::Compact : ConfigForm::Full;
    return f;
}

bool CConfigDlg::Has(int id) const { return IsOpen() && Host().HasControl(id); }
void CConfigDlg::On(int id, bool enable) {
    if (Has(id)) Enable(id, enable);
}
void CConfigDlg::Tick(int id, bool checked) {
    if (Has(id)) SetCheck(id, checked ? ui::kChecked : ui::kUnchecked);
}
bool CConfigDlg::Ticked(int id) const { return IsOpen() && Host().HasControl(id) && GetCheck(id) == ui::kChecked; }

void CConfigDlg::EnableConfigControls(int mode) {
    if (mode != 1 && mode != 2) return;
    const bool on = mode == 1;
    for (const ConfigField& f : kFields) {
        if (f.kind == ConfigFieldKind::Group || f.kind == ConfigFieldKind::Button) continue;
        if ((f.id == IDC_CFG_RENESAS || f.id == IDC_CFG_APPLE) && (m_hubType == 1 || m_hubType == -1)) continue;
        On(f.id, on);
    }
    On(IDC_CFG_SERIAL, on && Ticked(IDC_CFG_SERIAL_EN));
}

void CConfigDlg::SetEditText(int id, const std::string& text) {
    SetText(id, text);
    if (id == IDC_CFG_VID || id == IDC_CFG_HSPID || id == IDC_CFG_SSPID || id == IDC_CFG_VENDOR ||
        id == IDC_CFG_HSPROD || id == IDC_CFG_SSPROD || id == IDC_CFG_SERIAL)
        LastText(id) = text;
}

void CConfigDlg::DecodeBlock(const uint8_t* block, int size) {
    // Every decode starts from the editing state, so what an earlier block's
    // interlocks switched off comes back before this block's apply.
    EnableConfigControls(1);
    ConfigDecodeNotes notes;
    HubConfig c = DecodeConfig(block, size, Format(), &notes);
    if (!m_page && notes.usb2PortsRestored)
        MessageBox(kHsPortsInvalidText, "Quillon", ui::kMbSystemModal | ui::kMbIconError);
    if (!m_page && notes.usb3PortsRestored)
        MessageBox(kSsPortsInvalidText, "Quillon", ui::kMbSystemModal | ui::kMbIconError);
    ShowConfig(c);
}

void CConfigDlg::ShowConfig(const HubConfig& c) {
    // Texts set here are the last accepted ones: a decoded string is shown as
    // it stands, whatever a live check would say of it.
    m_checking = true;
    for (const ConfigField& f : kFields) {
        if (f.kind != ConfigFieldKind::Check || !f.flag) continue;
        HubConfig copy = c;
        Tick(f.id, *f.flag(copy));
    }
    SetEditText(IDC_CFG_VID, Hex4(c.vid));
    SetEditText(IDC_CFG_HSPID, Hex4(c.hsPid));
    SetEditText(IDC_CFG_SSPID, Hex4(c.ssPid));
    SetEditText(IDC_CFG_HSPOWER, std::to_string(c.hsMaxPowerMa));
    SetEditText(IDC_CFG_SSPOWER, std::to_string(c.ssMaxPowerMa));
    m_lastPowerGood = std::to_string(c.powerGoodMs);
    SetEditText(IDC_CFG_PGOOD, m_lastPowerGood);
    SetEditText(IDC_CFG_VENDOR, c.vendor);
    SetEditText(IDC_CFG_HSPROD, c.hsProduct);
    SetEditText(IDC_CFG_SSPROD, c.ssProduct);
    SetEditText(IDC_CFG_SERIAL, c.serial);
    m_checking = false;

    SelectRadio(IDC_CFG_PORT2_1, c.usb2Ports);
    SelectRadio(IDC_CFG_PORT3_1, c.usb3Ports);
    if (m_page) {  // the compact form greys a 3.0 count of 0
        On(IDC_CFG_GRP_PORT3, c.usb3Ports != 0);
        for (int i = 0; i < 4; ++i) On(IDC_CFG_PORT3_1 + i, c.usb3Ports != 0);
    }
    Tick(IDC_CFG_PWRSW_PORT3, false);
    Tick(IDC_CFG_OPMODE, OperatingMode(c));
    Tick(IDC_CFG_OPMODE_LED, OperatingModeOnPowerLed(c));
    if (m_hubType == 1)
        for (int id : {IDC_CFG_OPMODE, IDC_CFG_OPMODE_LED, IDC_CFG_LEDPWM}) On(id, false);
    On(IDC_CFG_SERIAL, Ticked(IDC_CFG_SERIAL_EN));

    // Strapping follows its heading box.
    const bool strap = Ticked(IDC_CFG_STRAP);
    for (int id : {IDC_CFG_GRP_STRAP, IDC_CFG_STRAP_CHARGE, IDC_CFG_STRAP_PORTNO, IDC_CFG_STRAP_PSWPOLY,
                   IDC_CFG_STRAP_NONREMV, IDC_CFG_STRAP_PSWHL})
        On(id, strap);

    // LED: the breathing mode, then the suspend-mode button it leaves.
    if (Has(IDC_CFG_BREATH)) Host().SetSelection(IDC_CFG_BREATH, c.breathingLed);
    if (c.breathingLed == kBreathingOnUfp || c.breathingLed == kBreathingOnDfp) {
        On(IDC_CFG_SEPLED, false);
        On(IDC_CFG_LED_OFF, false);
    } else {
        On(IDC_CFG_LED_FLICKER, false);
    }
    Tick(IDC_CFG_LED_OFF, c.suspendLed == kSuspendLedOff);
    Tick(IDC_CFG_LED_BREATH, c.suspendLed == kSuspendBreathing);
    Tick(IDC_CFG_LED_FLICKER, c.suspendLed == kSuspendFlickering);
    if (c.separatedLed) EnableSeparatedLedPeers(false);

    // Smart power.
    if (Has(IDC_CFG_SELF)) Host().SetSelection(IDC_CFG_SELF, c.smartPowerSelf);
    if (Has(IDC_CFG_BUS)) Host().SetSelection(IDC_CFG_BUS, c.smartPowerBus);
    if (m_page) Tick(IDC_CFG_BUSPOWER_ONLY, c.supportBusPower);
    UpdateSmartPowerAfterDecode();

    UpdatePortControls();
    On(IDC_CFG_OVCUR, Ticked(IDC_CFG_DCP) || Ticked(IDC_CFG_APPLE));
}

bool CConfigDlg::GatherConfig(HubConfig& c) {
    c = HubConfig();
    if (!ValidateConfig(c)) return false;
    for (const ConfigField& f : kFields)
        if (f.kind == ConfigFieldKind::Check && f.flag && Has(f.id)) *f.flag(c) = Ticked(f.id);
    if (Ticked(IDC_CFG_PWRSW_PORT3)) c.pwrswGand = true;
    c.breathingLed = Has(IDC_CFG_BREATH) ? Host().Selection(IDC_CFG_BREATH) : kBreathingDisabled;
    if (c.breathingLed < 0) c.breathingLed = kBreathingDisabled;
    c.suspendLed = Ticked(IDC_CFG_LED_BREATH) ? kSuspendBreathing
                   : Ticked(IDC_CFG_LED_FLICKER) ? kSuspendFlickering
                                                 : kSuspendLedOff;
    c.smartPowerSelf = Has(IDC_CFG_SELF) ? Host().Selection(IDC_CFG_SELF) : 0;
    c.smartPowerBus = Has(IDC_CFG_BUS) ? Host().Selection(IDC_CFG_BUS) : 0;
    if (c.smartPowerSelf < 0) c.smartPowerSelf = 0;
    if (c.smartPowerBus < 0) c.smartPowerBus = 0;
    if (m_page) c.supportBusPower = Ticked(IDC_CFG_BUSPOWER_ONLY);
    // The firmware version is not edited: the block carries 0 there.
    c.firmwareVersion = 0;
    return true;
}

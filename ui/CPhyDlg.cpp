// The PHY settings dialog: pages, reading and writing the registers, and the
// reaction to devices coming and going.
#include "ui/CPhyDlg.h"

#include <cctype>
#include <cstdio>

#include "platform/ports.h"
#include "platform/winconst.h"
#include "power/PowerPlan.h"
#include "settings/CIniFile.h"
#include "settings/DebugLog.h"
#include "ui/phy_ids.h"
#include "ui/phy_request.h"
#include "ui/win32/resource.h"

using tessaro::Sys;

namespace {

constexpr uint16_t kUsb2Space = 0x0101;
constexpr uint16_t kUsb3Space = 0x0201;
constexpr uint8_t kReadType = 0xC3;
constexpr uint32_t kRetryMs = 20;
constexpr uint32_t kSettleMs = 1500;  // a hub that just arrived answers after this

int FieldId(int i) { return IDC_PHY_FIELD1 + i; }
int LabelId(int i) { return IDC_PHY_LABEL1 + i; }

}  // namespace

const CPhyDlg::Field CPhyDlg::kTable[kFields] = {
    {"SR_JK_U: ", 0x0020, "CPDEM_U: ", kUsb2Space, 0x00DD},
    {"SR_JK_D1: ", 0x0021, "CPDEM_D1: ", kUsb2Space, 0x01DD},
    {"SR_JK_D2: ", 0x0022, "CPDEM_D2: ", kUsb2Space, 0x02DD},
    {"SR_JK_D3: ", 0x0023, "CPDEM_D3: ", kUsb2Space, 0x03DD},
    {"SR_JK_D4: ", 0x0024, "CPDEM_D4: ", kUsb2Space, 0x04DD},
    {"SQ_DT_U: ", 0x0025, "ISUCTL_U: ", kUsb2Space, 0x00DE},
    {"SQ_DT_D1: ", 0x0026, "ISUCTL_D1: ", kUsb2Space, 0x01DE},
    {"SQ_DT_D2: ", 0x0027, "ISUCTL_D2: ", kUsb2Space, 0x02DE},
    {"SQ_DT_D3: ", 0x0028, "ISUCTL_D3: ", kUsb2Space, 0x03DE},
    {"SQ_DT_D4: ", 0x0029, "ISUCTL_D4: ", kUsb2Space, 0x04DE},
    {nullptr, 0, "TX swing control: ", kUsb3Space, 0x0002},
    {nullptr, 0, "SSC PLL control: ", kUsb3Space, 0x0005},
    {nullptr, 0, "LFPS threshold: ", kUsb3Space, 0x0006},
};

bool ParsePhyHex(const std::string& text, uint8_t& value) {
    if (text.empty() || text.size() > 2) return false;
    unsigned v = 0;
    for (char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
        v = v * 16 + static_cast<unsigned>(std::isdigit(static_cast<unsigned char>(c))
                                               ? c - '0'
                                               : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10);
    }
    value = static_cast<uint8_t>(v);
    return true;
}

CPhyDlg::CPhyDlg() : Dialog(IDD_PHY_DIALOG) {
    m_programFolder = CIniFile::ProgramFolder();
    // The dialog shows every failure itself, on its status line.
    m_isp.m_quiet = 1;
}

CPhyDlg::~CPhyDlg() = default;

bool CPhyDlg::OnInitDialog() {
    Host().SetIcon(IDR_MAINFRAME);
    for (int i = 0; i < kFields; ++i) Host().SetLimit(FieldId(i), 2);
    Host().CheckRadio(IDC_PHY_USB2, IDC_PHY_USB3, IDC_PHY_USB2);
    LaunchSuspendHelper(0, m_programFolder);
    if (m_isp.OpenDevice()) {
        m_isp.CloseDevice();
        SwitchPage(false);
    } else {
        m_isp.CloseDevice();
        FillZero();
        SetText(IDC_PHY_STATUS, "Device or driver is not found!");
        m_usb3 = false;
        ShowPageFields();
        EnableControls(false);
    }
    return true;
}

void CPhyDlg::OnDestroy() { LaunchSuspendHelper(1, m_programFolder); }

void CPhyDlg::OnCommand(int id, int code) {
    if (code != ui::kBnClicked) return;
    switch (id) {
    case IDC_PHY_USB2: SwitchPage(false); break;
    case IDC_PHY_USB3: SwitchPage(true); break;
    case IDC_PHY_READ: ReadPhyRegisters(); break;
    case IDC_PHY_WRITE: WritePhyRegisters(0); break;
    default: break;
    }
}

void CPhyDlg::SwitchPage(bool usb3) {
    m_usb3 = usb3;
    Host().CheckRadio(IDC_PHY_USB2, IDC_PHY_USB3, usb3 ? IDC_PHY_USB3 : IDC_PHY_USB2);
    ShowPageFields();
    // A value typed on the other page belongs to another register.
    ClearModified();
    ReadPhyRegisters();
    EnableControls(true);
}

void CPhyDlg::ShowPageFields() {
    for (int i = 0; i < kFields; ++i) {
        const Field& f = kTable[i];
        const char* label = m_usb3 ? f.usb3Label : f.usb2Label;
        if (label) SetText(LabelId(i), label);
        Show(LabelId(i), label != nullptr);
        Show(FieldId(i), label != nullptr);
    }
}

void CPhyDlg::EnableControls(bool enable) {
    for (int id : {IDC_PHY_USB2, IDC_PHY_USB3, IDC_PHY_READ, IDC_PHY_WRITE}) Enable(id, enable);
    for (int i = 0; i < kFields; ++i) Enable(FieldId(i), enable);
}

void CPhyDlg::FillZero() {
    for (int i = 0; i < kFields; ++i) SetText(FieldId(i), "00");
    ClearModified();
}

void CPhyDlg::ClearModified() {
    for (int i = 0; i < kFields; ++i) Host().SetModified(FieldId(i), false);
}

bool CPhyDlg::Prepare() {
    if (!m_isp.OpenDevice()) {
        m_isp.CloseDevice();
        SetText(IDC_PHY_STATUS, "Hub is not detected!");
        EnableControls(false);
        return false;
    }
    if (!m_isp.SetHubIndex(0)) {
        m_isp.CloseDevice();
        SetText(IDC_PHY_STATUS, "Hub index ERROR!");
        DebugLog("Hub index ERROR!");
        return false;
    }
    return true;
}

bool CPhyDlg::Transfer(bool write, uint16_t wValue, uint16_t wIndex, uint8_t& value) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (attempt) Sys().clock->Sleep(kRetryMs);
        if (ui::PhyRegisterTransfer(m_isp, kReadType, write, wValue, wIndex, value)) return true;
    }
    return false;
}

int CPhyDlg::ReadPhyRegisters() {
    if (!Prepare()) return 0;
    const int count = m_usb3 ? kFields : 10;
    int ok = 1;
    for (int i = 0; i < count; ++i) {
        const Field& f = kTable[i];
        uint8_t value = 0;
        if (!Transfer(false, m_usb3 ? f.usb3Value : kUsb2Space, m_usb3 ? f.usb3Index : f.usb2Index, value)) {
            SetText(IDC_PHY_STATUS, m_usb3 ? "U3 Read ERROR!" : "U2 Read ERROR!");
            ok = 0;
            break;
        }
        char text[8];
        std::snprintf(text, sizeof text, "%02x", value);
        SetText(FieldId(i), text);
    }
    m_isp.CloseDevice();
    // What the fields show now is what the hub holds.
    ClearModified();
    if (ok) SetText(IDC_PHY_STATUS, m_usb3 ? "Finish reading USB3 PHY value." : "Finish reading USB2 PHY value.");
    return ok;
}

int CPhyDlg::WritePhyRegisters(int selector) {
    if (!Prepare()) return 0;
    const int count = m_usb3 ? kFields : 10;
    const char* writeError = m_usb3 ? "U3 Write ERROR!" : "U2 Write ERROR!";
    int ok = 1;
    for (int i = 0; i < count; ++i) {
        if (selector && selector != i + 1) continue;
        if (!Host().IsModified(FieldId(i))) continue;
        const Field& f = kTable[i];
        const uint16_t wValue = m_usb3 ? f.usb3Value : kUsb2Space;
        const uint16_t wIndex = m_usb3 ? f.usb3Index : f.usb2Index;
        uint8_t value = 0;
        const std::string text = GetText(FieldId(i));
        if (!ParsePhyHex(text, value)) {
            // Writing a guess into an analog register is worse than not writing.
            DebugLog("PHY field %d (wIndex 0x%04X) holds \"%s\", not a hexadecimal byte: not written", i + 1, wIndex,
                     text.c_str());
            ok = 0;
            continue;
        }
        if (!Transfer(true, wValue, wIndex, value)) {
            SetText(IDC_PHY_STATUS, writeError);
            m_isp.CloseDevice();
            return 0;
        }
        Host().SetModified(FieldId(i), false);
    }
    m_isp.CloseDevice();
    if (ok) {
        SetText(IDC_PHY_STATUS, m_usb3 ? "Finish writing USB3 PHY value." : "Finish writing USB2 PHY value.");
    } else {
        SetText(IDC_PHY_STATUS, writeError);
    }
    return ok;
}

int CPhyDlg::HubPresent(bool& failed) {
    failed = false;
    tessaro::IDeviceList& devices = *Sys().devices;
    const tessaro::IDeviceList::List list = devices.Open("usb", true);
    if (!list) {
        // A list that cannot be made cannot be walked either.
        ShowLastError();
        failed = true;
        return 0;
    }
    for (uint32_t index = 0;; ++index) {
        if (!devices.Enum(list, index)) {
            if (tessaro::LastError() != tessaro::win::kErrNoMoreItems) {
                ShowLastError();
                failed = true;
            }
            break;
        }
        std::string id;
        if (!devices.HardwareId(list, index, id, 260)) continue;
        for (char& c : id) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (id.find("VID_2C7E&PID_0B40") != std::string::npos ||
            id.find("VID_2C7E&PID_0B42") != std::string::npos) {
            devices.Close(list);
            return 1;
        }
    }
    devices.Close(list);
    if (failed) return 0;
    // No hardware ID says so: ask the driver.
    unsigned count = 0;
    int found = m_isp.OpenDevice() && m_isp.GetHubNumber(&count) && count > 0;
    m_isp.CloseDevice();
    return found;
}

intptr_t CPhyDlg::OnDeviceChange(uint32_t event, int32_t deviceType) {
    (void)event;
    (void)deviceType;
    bool failed = false;
    int found = HubPresent(failed);
    if (failed) return 1;
    Sys().clock->Sleep(kSettleMs);
    EnableControls(found != 0);
    if (found) {
        ReadPhyRegisters();
    } else {
        SetText(IDC_PHY_STATUS, "Hub is not detected!");
        FillZero();
    }
    return 1;
}

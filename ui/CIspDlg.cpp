// The main dialog itself: construction, the start-up checks, the controls and
// what enables them, the buttons, and every way out.  Detection, image loads,
// Do ISP, the store tools and the console's engine live in CIspDlg_*.cpp.
#include "ui/CIspDlg.h"

#include <cstring>

#include "platform/winconst.h"
#include "power/DriverSetup.h"
#include "ui/CAboutDlg.h"
#include "ui/CIspDlg_internal.h"
#include "ui/CPhyTuneDlg.h"
#include "ui/config_editor.h"
#include "ui/win32/resource.h"

using namespace ispdlg;
using tessaro::Sys;

namespace {

constexpr int kDetectionWorker = 1;
constexpr int kUpdateWorker = 2;
constexpr uint32_t kAboutCommand = 0x10;

constexpr const char* kCaption = "Varnellogic USB3.0 Hub FW ISP Tool v2.2.4.0";

}  // namespace

CIspDlg::CIspDlg() : Dialog(IDD_ISP_DIALOG), m_config(512, 0) {
    for (int& t : m_hubType) t = CHIP_ID_UNKNOWN;
    m_programFolder = CIniFile::ProgramFolder();
}

CIspDlg::~CIspDlg() = default;

// --- shared helpers -----------------------------------------------------------------

void CIspDlg::SetStatus(const std::string& text) {
    if (!m_console) SetText(IDC_STATUS, text);
}

void CIspDlg::Box(const std::string& text, uint32_t icon) {
    if (!m_console) MessageBox(text, kQuillon, ui::kMbSystemModal | icon);
}

void CIspDlg::EnableControls(int enable, int all) {
    if (m_console || !IsOpen()) return;
    bool on = enable != 0;
    for (int id : {IDC_DO_ISP, IDC_DUMP, IDC_SAVE_CHECKSUM, IDC_ERASE, IDC_WRITE_FLASH, IDC_READ_VERSION,
                   IDC_PHY_SETTING})
        Enable(id, on);
    if (all == 1) {
        for (int id : {IDC_SELECT_BIN, IDC_SELECT_EEP, IDC_CONFIGURATIONS, IDC_RESTORE_SUSPEND, IDC_EXIT})
            Enable(id, on);
    }
    if (on) ApplyImageRules();
    Host().Redraw();
}

void CIspDlg::ApplyImageRules() {
    // Do ISP and Save with Checksum need a loaded image, whatever a blanket
    // enable says.
    if (!m_imageLoaded) {
        Enable(IDC_DO_ISP, false);
        Enable(IDC_SAVE_CHECKSUM, false);
    }
    // A .sum or .rom carries its configuration already: no .eep goes in and
    // no checksum is added to it.
    if (m_imageCarriesConfig) {
        Enable(IDC_SELECT_EEP, false);
        Enable(IDC_SAVE_CHECKSUM, false);
    }
    // A 256-byte EEPROM hub has no separate configuration block to load.
    if (m_hubType[0] == CHIP_ID_VX2240_EEPROM_LITE || (m_imageLoaded && m_imageClass == 4))
        Enable(IDC_SELECT_EEP, false);
}

CIspDlg::OsCheck CIspDlg::CheckOs(bool console) const {
    OsCheck c;
    tessaro::OsVersionInfoEx info;
    std::memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    if (!Sys().os->GetVersionEx(&info)) {
        c.pass = false;
        c.text = console ? "Get hub number ERROR!" : "Retrieve OS information failed!";
        c.style = kErrorBox;
        return c;
    }
    uint32_t major = info.dwMajorVersion, minor = info.dwMinorVersion;
    if (major < 5 || (major == 5 && minor == 0)) {
        c.pass = false;
        c.text = "Quillon does not support Windows 2000 or earlier OS version.";
        c.style = kInfoBox;
        return c;
    }
    if (major == 6 && minor >= 2) return c;
    if (info.wServicePackMajor == 0) {
        c.pass = false;
        c.text = console ? "Please install Windows Service Pack before running this program."
                         : "Please install latest Windows Service Pack before running this program.";
        c.style = kErrorBox;
        return c;
    }
    if (major == 5 && minor == 1) {
        if (info.wServicePackMajor < 3) {
            c.pass = false;
            c.text = "Please install Windows XP Service Pack 3 before running this program.";
            c.style = kErrorBox;
            return c;
        }
        c.hint = true;
        c.text = "Please attach a device to any of the hub's downstream port if the hub is connected to EHCI/OCHI host.";
        c.style = kInfoBox;
    }
    return c;
}

bool CIspDlg::CheckDriverVersion() {
    std::string failure;
    if (RequireFilterDriverVersion(failure)) return true;
    MessageBox(failure, kQuillon, kErrorBox);
    return false;
}

// --- the dialog -------------------------------------------------------------------------

bool CIspDlg::OnInitDialog() {
    Host().AppendSystemMenu(kAboutCommand, "&About VX7100ISP...");
    Host().SetIcon(IDR_MAINFRAME);
    if (!tessaro::GetEnv("TESSARO_BENCH").empty()) Host().SetCaption(std::string(kCaption) + " [bench]");
    GuardWhileWorking({IDC_EXIT, IDC_DO_ISP, IDC_SELECT_BIN, IDC_SELECT_EEP, IDC_CONFIGURATIONS, IDC_READ_VERSION,
                       IDC_DUMP, IDC_ERASE, IDC_SAVE_CHECKSUM, IDC_PHY_SETTING, IDC_RESTORE_SUSPEND});

    std::string iniPath;
    if (!m_ini.FindIniFile(iniPath)) {
        MessageBox("Cannot find INI file for ISP tool! Check if it is placed with the tool.", kQuillon, kErrorBox);
        EndDialog(ui::kIdCancel);
        return true;
    }
    m_ini.SetFileName(iniPath);
    m_suspend = SuspendBookkeeping();
    m_advanced = static_cast<int>(CIniFile::ToInt(m_ini.GetString("Advanced", "VX7100")));
    if (m_advanced == 0) {
        Show(IDC_RESTORE_SUSPEND, false);
        m_restoreBeforeExit = 1;
    } else {
        Show(IDC_RESTORE_SUSPEND, true);
        SetCheck(IDC_RESTORE_SUSPEND, 0);
        m_restoreBeforeExit = 0;
    }
    if (CIniFile::ToInt(m_ini.GetString("Customer", "VX7100")) == 0) {
        for (int id : {IDC_CONFIGURATIONS, IDC_DUMP, IDC_ERASE, IDC_SAVE_CHECKSUM}) Show(id, false);
        if (CIniFile::ToInt(m_ini.GetString("EepOption", "VX7100")) == 0) {
            Show(IDC_SELECT_EEP, false);
            Show(IDC_EEP_FILE, false);
        }
    }
    m_infoLevel = static_cast<int>(CIniFile::ToInt(m_ini.GetString("InfoLevel", "VX7100")));
    if (CIniFile::ToInt(m_ini.GetString("PhyAccess", "VX7100")) != 2) {
        // The bottom row (PHY Setting) is cut off.
        ui::Rect window = Host().WindowRect();
        ui::Rect phy = Host().ControlScreenRect(IDC_PHY_SETTING);
        Host().SetWindowSize(window.right - window.left, phy.top - window.top);
    }
    Host().SetRange(IDC_PROGRESS, 0, 100);
    Host().SetStep(IDC_PROGRESS, 1);
    SetText(IDC_STATUS, "");
    m_run.Reset();

    m_reg = std::make_unique<CRegistry>(tessaro::win::kKeyAllAccess);
    if (m_reg->SetPath("SOFTWARE\\Varnellogic\\VX7100", tessaro::win::kKeyAllAccess)) {
        uint32_t type = 0, value = 0, size = 4;
        m_mergeConfig = m_reg->QueryValue("MergeConfig", &type, reinterpret_cast<uint8_t*>(&value), &size) && value != 0;
        m_mergeConfigRead = true;
    } else {
        CRegistry reg(tessaro::win::kKeyAllAccess);
        reg.CreateKey("SOFTWARE\\Varnellogic\\VX7100", tessaro::win::kKeyAllAccess);
        if (m_reg->SetPath("SOFTWARE\\Varnellogic\\VX7100", tessaro::win::kKeyAllAccess)) {
            uint32_t one = 1;
            m_reg->SetValue("MergeConfig", tessaro::win::kRegDword, &one);
        }
        m_mergeConfig = 1;
        m_mergeConfigRead = true;
    }

    OsCheck os = CheckOs(false);
    if (!os.pass) {
        MessageBox(os.text, kQuillon, os.style);
        EndDialog(ui::kIdCancel);
        return true;
    }
    if (os.hint) MessageBox(os.text, kQuillon, os.style);
    if (!CheckDriverVersion()) {
        EndDialog(ui::kIdCancel);
        return true;
    }
    EnableControls(0, 1);
    StartWorker([this](ui::WorkerLink& link) { DetectionWorker(link); }, kDetectionWorker);
    return true;
}

void CIspDlg::OnCommand(int id, int code) {
    if (code != ui::kBnClicked) return;
    switch (id) {
        case IDC_SELECT_BIN: SelectBin(); break;
        case IDC_SELECT_EEP: SelectEep(); break;
        case IDC_CONFIGURATIONS: OpenConfigurations(); break;
        case IDC_PHY_SETTING: OpenPhySetting(); break;
        case IDC_RESTORE_SUSPEND: m_restoreBeforeExit = GetCheck(IDC_RESTORE_SUSPEND) ? 1 : 0; break;
        case IDC_READ_VERSION: ReadXromVersion(nullptr); break;
        case IDC_DUMP: DumpXrom(); break;
        case IDC_ERASE: EraseXrom(); break;
        case IDC_SAVE_CHECKSUM: SaveWithChecksum(); break;
        case IDC_EXIT: Exit(); break;
        case IDC_DO_ISP: {
            if (Working()) return;
            std::vector<uint8_t> image = m_imageLoaded ? m_image : std::vector<uint8_t>();
            int imageClass = m_imageClass;
            EnableControls(0, 1);
            m_run.Reset();
            StartWorker([this, image, imageClass](ui::WorkerLink& link) mutable {
                UpdateWorker(link, std::move(image), imageClass);
            }, kUpdateWorker);
            break;
        }
        default: break;
    }
}

void CIspDlg::OpenConfigurations() {
    const int type = m_hubType[0];
    const bool masked = m_masked[0] != 0;
    if (type == CHIP_ID_VX2240_EEPROM_LITE) {
        // The whole EEPROM is the 256-byte block: the editor fills a buffer of
        // its own, which becomes the class-4 image only on "Save && Exit";
        // Exit keeps whatever image was loaded before.
        std::vector<uint8_t> eeprom(256, 0);
        if (ui::RunConfigEditor(*this, eeprom, 0, 0, type, masked) != 1) return;
        m_image = std::move(eeprom);
        m_imageClass = 4;
        m_imageLoaded = true;
        m_imageCarriesConfig = false;
        m_imagePath.clear();
        m_versionLow = m_image[0x0E];
        m_versionHigh = m_image[0x0F];
        SetText(IDC_BIN_FILE, "");
        SetText(IDC_EEP_FILE, "");
        Enable(IDC_DO_ISP, true);
        ApplyImageRules();
        return;
    }
    // Types -1 and 0 have no configuration of their own to take over; the
    // others adopt the saved block as their loaded configuration.
    const int saved = ui::RunConfigEditor(*this, m_config, m_eepLoaded, 0, type, masked);
    if (type != CHIP_ID_UNKNOWN && !m_eepLoaded) m_eepLoaded = saved;
}

void CIspDlg::OpenPhySetting() {
    // Hub 1's type picks the form; other types have none.
    RunPhyTuning(*this, m_hubType[0]);
}

void CIspDlg::OnWorkerDone(int tag) {
    if (tag == kDetectionWorker && m_exitAfterDetection) {
        m_exitAfterDetection = false;
        Exit(ui::kIdCancel);
    }
}

void CIspDlg::FocusOn(int id) {
    if (m_console || !IsOpen()) return;
    if (!IsEnabled(id) || !IsVisible(id)) id = IDC_EXIT;
    if (IsEnabled(id) && IsVisible(id)) Host().SetFocus(id);
}

// --- ending ----------------------------------------------------------------------------------

void CIspDlg::ExitProcessing() {
    m_image.clear();
    m_imageLoaded = false;
    m_config.clear();
    m_isp.CloseDevice();
    if (m_restoreBeforeExit) RestoreSelectiveSuspend();
    EnableLeftDisabledHubs();
}

void CIspDlg::EnableLeftDisabledHubs() {
    // A hub this dialog disabled for a selective suspend change and could not
    // bring back would stay disabled across restarts: enabled again here.
    std::vector<std::string> report;
    if (m_isp.EnableLeftDisabled(&report) && report.empty()) return;
    std::string text;
    for (const std::string& line : report) text += (text.empty() ? "" : "\n") + line;
    SetStatus(text);
    if (!m_console && IsOpen()) MessageBox(text, kQuillon, m_isp.m_leftDisabled.empty() ? kInfoBox : kErrorBox);
}

void CIspDlg::Exit(int result) {
    if (Working()) return;
    if (m_restoreBeforeExit) SetStatus("Data processing before exit...");
    EnableControls(0, 1);
    ExitProcessing();
    EndDialog(result);
}

void CIspDlg::OnClose() {
    if (Working()) return;
    Exit();
}

void CIspDlg::OnCancel() {
    if (Working()) return;
    EndDialog(ui::kIdCancel);
}

void CIspDlg::OnOK() {
    if (Working()) return;
    EndDialog(ui::kIdOk);
}

intptr_t CIspDlg::OnDeviceChange(uint32_t, int32_t) { return 1; }

bool CIspDlg::OnSysCommand(uint32_t command) {
    if ((command & 0xFFF0) != kAboutCommand) return false;
    CAboutDlg about;
    RunModal(about);
    return true;
}

void CIspDlg::OnDestroy() {
    // Every way out (Cancel, OK, the window's close) ends here; the window
    // is going, so the diagnostic log alone tells what was enabled again.
    m_isp.EnableLeftDisabled(nullptr);
    // A dialog that ended before it read the value has nothing to write back.
    if (!m_mergeConfigRead) return;
    CRegistry reg(tessaro::win::kKeyAllAccess);
    if (reg.SetPath("SOFTWARE\\Varnellogic\\VX7100", tessaro::win::kKeyAllAccess)) {
        uint32_t value = static_cast<uint32_t>(m_mergeConfig);
        reg.SetValue("MergeConfig", tessaro::win::kRegDword, &value);
    }
}

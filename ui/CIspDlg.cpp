#include "ui/CIspDlg.h"

#include <cctype>
#include <cstring>

#include "files/EepFile.h"
#include "files/FirmwareImage.h"
#include "files/StoreFiles.h"
#include "platform/winconst.h"
#include "power/DriverSetup.h"
#include "settings/DebugLog.h"
#include "ui/CAboutDlg.h"
#include "ui/win32/resource.h"

using tessaro::Sys;

namespace {

constexpr const char* kQuillon = "Quillon";
constexpr uint32_t kErrorBox = ui::kMbSystemModal | ui::kMbIconError;
constexpr uint32_t kInfoBox = ui::kMbSystemModal | ui::kMbIconInformation;
constexpr uint32_t kWarningBox = ui::kMbSystemModal | ui::kMbIconWarning;

constexpr int kTimerUpdate = 2;
constexpr int kDetectionWorker = 1;
constexpr int kUpdateWorker = 2;
constexpr uint32_t kAboutCommand = 0x10;

constexpr const char* kCaption = "Varnellogic USB3.0 Hub FW ISP Tool v2.2.4.0";
constexpr const char* kDetectFailed =
    "Detect VX710x hub failed!\n\nPlease make sure VX710x hub is plugged into the host and try to rerun ISP tool.";
constexpr const char* kHubLost = "Hub is lost after selective suspend is deactivated!";
constexpr const char* kNoHubUpdated = "No hub was updated: none of the attached hubs could be identified.";

// Size of the configuration block read from a hub of this type.
int ConfigReadSize(int hubType) {
    switch (hubType) {
        case CHIP_ID_VX2240_SPI:
        case CHIP_ID_VX2240_EEPROM:
        case CHIP_ID_VX2210_SPI: return 144;
        case CHIP_ID_VX2240_EEPROM_LITE: return 256;
        default: return 512;
    }
}

bool IsFlashType(int hubType) {
    return hubType == CHIP_ID_VX2230_SPI || hubType == CHIP_ID_VX2240_SPI || hubType == CHIP_ID_VX2210_SPI ||
           hubType == CHIP_ID_UNKNOWN;
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Where control changes go: through the worker's link when a worker makes
// them, straight to the window on the dialog's thread.
struct Effects {
    CIspDlg& dlg;
    ui::WorkerLink* link;
    void SetText(int id, const std::string& text) { link ? link->SetText(id, text) : (void)dlg.SetText(id, text); }
    void Enable(int id, bool on) { link ? link->Enable(id, on) : (void)dlg.Enable(id, on); }
    int Box(const std::string& text, uint32_t style) {
        return link ? link->MessageBox(text, kQuillon, style) : dlg.MessageBox(text, kQuillon, style);
    }
};

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

int CIspDlg::IdentifyHubs() {
    unsigned hubs = m_hubCount < static_cast<unsigned>(kMaxHubs) ? m_hubCount : kMaxHubs;
    for (unsigned i = 0; i < hubs; ++i) {
        m_hubType[i] = m_isp.GetChipType(static_cast<int>(i), 1);
        if (m_console && m_hubType[i] == CHIP_ID_UNKNOWN) {
            m_run.text.Set(Format("Undetermined Hub%d type!", static_cast<int>(i) + 1));
            return 0;
        }
    }
    return 1;
}

int CIspDlg::SwitchSelectiveSuspendOff(ui::WorkerLink* link) {
    unsigned hubs = m_hubCount < static_cast<unsigned>(kMaxHubs) ? m_hubCount : kMaxHubs;
    SwitchOffOptions options;
    options.status = [link](const std::string& text) {
        if (link) link->SetText(IDC_STATUS, text);
    };
    bool identified = false;
    if (m_console) {
        // The console identifies each hub right after its own switch.
        options.afterHub = [this, &identified](int hub, std::string& failure) {
            identified = true;
            m_hubType[hub] = m_isp.GetChipType(hub, 1);
            if (m_hubType[hub] != CHIP_ID_UNKNOWN) return 1;
            failure = Format("Undetermined Hub%d type!", hub + 1);
            return 0;
        };
    }
    std::string failure;
    if (!::SwitchSelectiveSuspendOff(m_isp, hubs, m_suspend, failure, options)) {
        m_run.text.Set(failure);
        return 0;
    }
    // With the power plan changed, or nothing to change, the console still
    // needs every hub's chip: without it no update could run.
    if (m_console && !identified) return IdentifyHubs();
    return 1;
}

void CIspDlg::RestoreSelectiveSuspend() {
    // Only what this dialog switched off is switched back on.
    if (!m_restoreBeforeExit || !m_suspend.Changed()) return;
    RestoreOptions options;
    options.powerPlanDiagnostic = "ChangePowerPlanUsbSelectiveSuspend ERROR\n";
    options.perDeviceFailure = [this](int, const std::string& text) {
        if (m_console) {
            m_run.text.Set(text);
        } else {
            MessageBox(text, kQuillon, ui::kMbSystemModal | ui::kMbIconError);
        }
    };
    ::RestoreSelectiveSuspend(m_isp, m_suspend, options);
}

bool CIspDlg::CheckDriverVersion() {
    std::string failure;
    if (RequireFilterDriverVersion(failure)) return true;
    MessageBox(failure, kQuillon, kErrorBox);
    return false;
}

// --- images and configurations -------------------------------------------------------

int CIspDlg::LoadFirmwareFile(const std::string& path, const std::string& fileName) {
    LoadOwner owner = m_console ? LoadOwner::Console : LoadOwner::MainDialog;
    FirmwareLoad load = LoadFirmwareImage(path, fileName, owner, HubType(m_matchHub));
    if (!load.report.message.empty()) m_run.text.Set(load.report.message);
    if (load.imageRead) {
        m_imagePath = path;
        m_image = load.image;
        m_imageClass = load.imageClass;
        m_versionHigh = load.version.high;
        m_versionLow = load.version.low;
    }
    // A refused or unreadable image leaves nothing to program.
    m_imageLoaded = load.ok;
    if (!m_console) {
        if (!load.report.box.empty()) MessageBox(load.report.box, kQuillon, load.report.boxStyle);
        if (!load.report.status.empty()) SetStatus(load.report.status);
        if (load.ok) SetText(IDC_BIN_FILE, load.fileNameField);
    }
    if (!load.ok) return 0;
    ShowImageVersion();
    return 1;
}

void CIspDlg::ShowImageVersion() {
    if (m_image.size() <= 256) {
        m_versionLow = m_image.size() > 0x0E ? m_image[0x0E] : 0xFF;
        m_versionHigh = m_image.size() > 0x0F ? m_image[0x0F] : 0xFF;
    } else {
        m_versionLow = m_image.size() > 0x10E ? m_image[0x10E] : 0xFF;
        m_versionHigh = m_image.size() > 0x10F ? m_image[0x10F] : 0xFF;
    }
    if (!m_console) SetText(IDC_BIN_VERSION, VersionText(m_versionHigh, m_versionLow));
}

int CIspDlg::LoadEepFile(const std::string& path, const std::string& displayName) {
    if (!m_console) SetText(IDC_EEP_FILE, "");
    EepLoad load = LoadEepForHub(path, displayName, HubType(m_matchHub), m_console ? EepOwner::Console : EepOwner::MainDialog);
    if (!load.report.message.empty()) m_run.text.Set(load.report.message);
    if (!m_console && !load.report.box.empty()) MessageBox(load.report.box, kQuillon, load.report.boxStyle);
    if (load.ok) {
        m_config = load.block;
        if (!m_console) SetText(IDC_EEP_FILE, load.eepNameField);
    }
    m_eepLoaded = load.ok ? 1 : 0;
    return load.ok ? 1 : 0;
}

int CIspDlg::FindUpdateFiles() {
    // Hubs with the compact configuration are updated this way too.
    UpdateFiles found = ::FindUpdateFiles(m_programFolder, {144, 512});
    if (!found.ok) {
        m_run.text.Set(found.message);
        m_imageLoaded = false;
        return 0;
    }
    m_imagePath = found.imagePath;
    m_image = found.image;
    m_imageClass = found.imageClass;
    m_versionHigh = found.version.high;
    m_versionLow = found.version.low;
    m_imageLoaded = true;
    if (found.hasEep) {
        m_config = found.eep;
        m_eepLoaded = 1;
    } else {
        m_eepLoaded = 0;
    }
    return 1;
}

bool CIspDlg::MergeConfiguration(std::vector<uint8_t>& image, int configLength, bool checkFirstByte,
                                 std::string& error) {
    UiReport report;
    if (!AssignEepMainDialog(image, m_imageClass, configLength, m_config.empty() ? nullptr : m_config.data(),
                             static_cast<int>(m_config.size()), checkFirstByte ? EepOwner::Console : EepOwner::MainDialog,
                             &report)) {
        error = report.message;
        return false;
    }
    return true;
}

// --- the console mode's engine ---------------------------------------------------------

int CIspDlg::ConsoleHubCount(unsigned* count) {
    std::string iniPath;
    if (!m_ini.FindIniFile(iniPath)) {
        m_run.text.Set("Cannot find INI file for ISP tool! Check if it is placed with the tool.");
        return 0;
    }
    m_ini.SetFileName(iniPath);
    m_isp.m_quiet = 1;
    OsCheck os = CheckOs(true);
    if (!os.pass) {
        m_run.text.Set(os.text);
        return 0;
    }
    if (!m_isp.OpenDevice()) {
        m_run.text.Set("Device or driver is not found!");
        return 0;
    }
    unsigned hubs = 0;
    if (!m_isp.GetHubNumber(&hubs)) {
        m_run.text.Set("Get hub number ERROR!");
        return 0;
    }
    m_hubCount = hubs;
    for (int& t : m_hubType) t = CHIP_ID_UNKNOWN;
    if (!SwitchSelectiveSuspendOff(nullptr)) return 0;
    if (count) *count = hubs;
    return 1;
}

int CIspDlg::ConsoleHubInfo(int hubIndex, HubRecord* record) {
    if (!m_isp.OpenDevice()) {
        m_run.text.Set(m_isp.m_lasterror);
        return 0;
    }
    int ok = m_isp.GetHubInfo(record, static_cast<unsigned>(hubIndex));
    if (!ok) m_run.text.Set(m_isp.m_lasterror.empty() ? "Get hub info ERROR!" : m_isp.m_lasterror);
    m_isp.CloseDevice();
    return ok;
}

int CIspDlg::ConsoleFirmwareVersion(int hubIndex, uint16_t* version) {
    int type = HubType(hubIndex);
    int size = ConfigReadSize(type);
    std::vector<uint8_t> block(static_cast<size_t>(size), 0);
    if (IsFlashType(type)) m_isp.LoadFlashInfo();
    if (!m_isp.ReadData(block.data(), size, 1, static_cast<unsigned>(hubIndex))) {
        m_run.text.Set(m_isp.m_lasterror);
        return 0;
    }
    StoreVersion v = StoreVersionFromBlock(block.data(), size);
    if (static_cast<unsigned>(hubIndex) < kMaxHubs) m_masked[hubIndex] = v.masked ? 1 : 0;
    if (version) *version = v.value;
    return 1;
}

int CIspDlg::UpdateHub(int hubIndex) {
    if (static_cast<unsigned>(hubIndex) >= static_cast<unsigned>(kMaxHubs)) {
        m_run.text.Set(Format("Exceed the maximum hub number! Quillon only support %d hub(s).", kMaxHubs));
        return 0;
    }
    int number = hubIndex + 1;
    int type = m_hubType[hubIndex];
    int configLength = 0;
    switch (type) {
        case CHIP_ID_UNKNOWN:
            m_run.text.Set(Format("Invalid Hub%d firmware!", number));
            return 0;
        case CHIP_ID_VX2230_SPI:
            if (m_imageClass != 1) {
                m_run.text.Set(Format("Hub %d is VX7100, Do ISP canceled!", number));
                return 0;
            }
            configLength = 512;
            break;
        case CHIP_ID_VX2240_SPI:
        case CHIP_ID_VX2240_EEPROM:
        case CHIP_ID_VX2210_SPI:
            if ((type == CHIP_ID_VX2210_SPI && m_imageClass != 5) || (type != CHIP_ID_VX2210_SPI && m_imageClass != 2)) {
                m_run.text.Set(Format("Hub %d is VX7101, Do ISP canceled!", number));
                return 0;
            }
            configLength = 144;
            break;
        case CHIP_ID_VX2240_EEPROM_LITE:
            if (m_imageClass != 4) {
                m_run.text.Set(Format("Hub %d is VX7101 (EEPROM), Do ISP canceled!", number));
                return 0;
            }
            if (m_eepLoaded) {
                m_run.text.Set(Format("Hub %d is VX7101 (EEPROM), Load EEP file failed!", number));
                return 0;
            }
            break;
        default:
            m_run.text.Set(Format("Invalid Hub%d firmware!", number));
            return 0;
    }
    if (!m_imageLoaded || m_image.empty()) {
        m_run.text.Set("Data buffer is null!");
        return 0;
    }
    // The update works on a copy: what a run merges and stamps never changes
    // the loaded image of the next run.
    std::vector<uint8_t> image = m_image;
    if (m_eepLoaded) {
        std::string error;
        if (!MergeConfiguration(image, configLength, true, error)) {
            m_run.text.Set(error);
            return 0;
        }
    }
    m_run.Reset();
    return m_isp.UpdateFirmware(hubIndex, m_imageClass, image.data(), static_cast<int>(image.size()), &m_run.progress,
                                &m_run.text, &m_run.error);
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

void CIspDlg::DetectionWorker(ui::WorkerLink& link) {
    std::fill(m_config.begin(), m_config.end(), 0);
    m_config.resize(512, 0);
    for (int i = 0; i < kMaxHubs; ++i) {
        m_hubType[i] = CHIP_ID_UNKNOWN;
        m_masked[i] = 0;
    }
    m_imageClass = -1;
    link.SetText(IDC_STATUS, "Open device...");
    auto fatal = [&](const std::string& text) {
        link.MessageBox(text, kQuillon, kErrorBox);
        link.EndDialog(ui::kIdCancel);
    };
    if (!m_isp.OpenDevice()) {
        link.MessageBox(kDetectFailed, kQuillon, kErrorBox);
        link.SetText(IDC_STATUS, "Detect hub failed!");
        if (m_advanced == 0) {
            link.EndDialog(ui::kIdCancel);
        } else {
            link.Enable(IDC_CONFIGURATIONS, true);
            link.Enable(IDC_EXIT, true);
        }
        return;
    }
    unsigned count = 0;
    bool counted = m_isp.GetHubNumber(&count) != 0;
    for (int attempt = 1; !counted && attempt <= 5; ++attempt) {
        link.SetText(IDC_STATUS, Format("Trying to get VX's hub....(%d)", attempt));
        Sys().clock->Sleep(800);
        if (!m_isp.EnumerateHubs()) {
            fatal(m_isp.m_lasterror);
            return;
        }
        counted = m_isp.GetHubNumber(&count) != 0;
    }
    if (!counted) {
        fatal("Retrieve hub information failed!");
        return;
    }
    m_hubCount = count;

    if (!SwitchSelectiveSuspendOff(&link)) {
        std::string text = m_run.text.Get();
        link.MessageBox(text, kQuillon, kErrorBox);
        link.SetText(IDC_STATUS, text);
        link.EndDialog(ui::kIdCancel);
        return;
    }

    if (!m_isp.OpenDevice()) {
        fatal(kHubLost);
        return;
    }
    bool same = false;
    for (int attempt = 1; attempt <= 5 && !same; ++attempt) {
        if (!m_isp.EnumerateHubs()) {
            if (attempt == 5) {
                fatal(m_isp.m_lasterror);
                return;
            }
            Sys().clock->Sleep(1000);
            continue;
        }
        unsigned now = 0;
        if (m_isp.GetHubNumber(&now) && now == count) {
            same = true;
        } else if (attempt == 5) {
            fatal(kHubLost);
            return;
        } else {
            Sys().clock->Sleep(500);
        }
    }
    IdentifyHubs();

    int first = m_hubType[0];
    if (m_infoLevel == 0) {
        link.SetText(IDC_STATUS, "ISP Tool is ready.");
    } else if (first == CHIP_ID_UNKNOWN) {
        link.SetText(IDC_STATUS, "Hub 1 is unknown type!");
    } else {
        link.SetText(IDC_STATUS, std::string("Hub 1 is  ") + HubTypeText(first));
    }
    if (first == CHIP_ID_UNKNOWN) {
        link.SetText(IDC_STATUS, "Hub1 can't be determined.");
        link.Enable(IDC_EXIT, true);
        return;
    }
    ReadXromVersion(&link);
    link.Post([this] {
        // No image yet: Do ISP and Save with Checksum stay off; a 256-byte
        // EEPROM hub gets no .eep.
        EnableControls(1, 1);
        if (m_hubType[0] == CHIP_ID_VX2240_EEPROM_LITE) SetText(IDC_EEP_FILE, "");
    });
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

void CIspDlg::SelectBin() {
    ui::FileRequest request;
    request.filter = "Binary File (*.bin)|*.bin|Rom File (*.rom)|*.rom|Sum File (*.sum)|*.sum||";
    ui::FileResult file = FileDialog(request);
    if (!file.ok) return;
    std::string ext = Lower(file.ext);
    m_imageCarriesConfig = ext == "sum" || ext == "rom";
    if (m_imageCarriesConfig) {
        // Such an image carries its configuration: a loaded one is dropped.
        SetText(IDC_EEP_FILE, "");
        m_eepLoaded = 0;
    }
    Enable(IDC_SELECT_EEP, true);
    Enable(IDC_SAVE_CHECKSUM, true);
    if (!LoadFirmwareFile(file.path, file.name)) {
        SetText(IDC_BIN_FILE, "");
        SetText(IDC_BIN_VERSION, "");
    }
    if (m_imageLoaded && m_imageClass == 4) SetText(IDC_EEP_FILE, "");
    Enable(IDC_DO_ISP, m_imageLoaded);
    ApplyImageRules();
}

void CIspDlg::SelectEep() {
    ui::FileRequest request;
    request.filter = "EEP File (*.eep)|*.eep||";
    ui::FileResult file = FileDialog(request);
    if (!file.ok) return;
    if (LoadEepFile(file.path, file.name)) {
        SetStatus(kLoadEepOk);
    } else {
        DebugLog("%s\n", kLoadEepFailed);
        SetStatus(kLoadEepFailed);
    }
}

void CIspDlg::OpenConfigurations() {
    MessageBox("The configurations editor is not available in this build of the tool yet.", kQuillon, kInfoBox);
}

void CIspDlg::OpenPhySetting() {
    int type = m_hubType[0];
    if (type == CHIP_ID_VX2230_SPI || type == CHIP_ID_UNKNOWN) return;
    MessageBox("The PHY tuning dialog is not available in this build of the tool yet.", kQuillon, kInfoBox);
}

int CIspDlg::CheckImageAgainstHubs(ui::WorkerLink& link, unsigned hubs, int imageClass, int& configLength) {
    for (unsigned i = 0; i < hubs; ++i) {
        int type = m_hubType[i];
        int number = static_cast<int>(i) + 1;
        if (m_infoLevel == 0) {
            if (type == CHIP_ID_UNKNOWN) continue;
            if (!ImageFitsHub(imageClass, type)) {
                link.MessageBox(kMismatchedFirmware, kQuillon, kErrorBox);
                m_run.text.Set(kMismatchedFirmware);
                DebugLog("%s\n", kMismatchedFirmware);
                return 0;
            }
        } else {
            std::string refusal;
            std::string status = "Mismatched binary file!";
            switch (type) {
                case CHIP_ID_UNKNOWN: link.SetText(IDC_STATUS, Format("Invalid Hub%d firmware!", number)); continue;
                case CHIP_ID_VX2230_SPI:
                    if (imageClass != 1) refusal = Format("Hub %d is VX710x-10 series hub, Do ISP canceled!", number);
                    break;
                case CHIP_ID_VX2240_SPI:
                case CHIP_ID_VX2240_EEPROM:
                    if (imageClass != 2 && imageClass != 5)
                        refusal = Format("Hub %d is VX710x-21/22 series hub, Do ISP canceled!", number);
                    break;
                case CHIP_ID_VX2210_SPI:
                    if (imageClass != 5 && imageClass != 2) refusal = Format("Hub %d is VX7103, Do ISP canceled!", number);
                    break;
                case CHIP_ID_VX2240_EEPROM_LITE:
                    if (imageClass != 4) {
                        refusal = Format("Hub %d is VX7103 hub  (256 EEPROM), Do ISP canceled!", number);
                    } else if (m_eepLoaded) {
                        refusal = Format("Hub %d is VX7103 hub  (256 EEPROM), Do ISP canceled!", number);
                        status = "Mismatched EEP file!";
                    }
                    break;
                default: break;
            }
            if (!refusal.empty()) {
                link.MessageBox(refusal, kQuillon, kInfoBox);
                link.SetText(IDC_STATUS, status);
                return 0;
            }
        }
        if (type == CHIP_ID_VX2230_SPI) configLength = 512;
        if (type == CHIP_ID_VX2240_SPI || type == CHIP_ID_VX2240_EEPROM || type == CHIP_ID_VX2210_SPI) configLength = 144;
    }
    return 1;
}

void CIspDlg::UpdateWorker(ui::WorkerLink& link, std::vector<uint8_t> image, int imageClass) {
    auto end = [&] {
        m_run.Finish();
        link.Post([this] { EnableControls(1, 1); });
    };
    if (image.empty()) {
        link.MessageBox(kDataBufferNull, kQuillon, kErrorBox);
        m_run.text.Set(kDataBufferNull);
        DebugLog("%s", kDataBufferNull);
        return end();
    }
    if (!m_isp.OpenDevice()) {
        link.MessageBox("Open device ERROR!", kQuillon, kErrorBox);
        link.SetText(IDC_STATUS, "Open device ERROR!");
        return end();
    }
    unsigned hubs = 0;
    if (!m_isp.GetHubNumber(&hubs)) {
        link.MessageBox("Get hub number ERROR!", kQuillon, kErrorBox);
        link.SetText(IDC_STATUS, "Get hub number ERROR!");
        return end();
    }
    if (imageClass == -1) {
        link.MessageBox(kCannotDetermineBin, kQuillon, kErrorBox);
        link.SetText(IDC_STATUS, kIncorrectBinaryFormat);
        return end();
    }
    // The hubs attached now, as the detection typed them; at most 8.
    if (hubs > static_cast<unsigned>(kMaxHubs)) hubs = kMaxHubs;
    int configLength = 0;
    if (!CheckImageAgainstHubs(link, hubs, imageClass, configLength)) return end();
    if (m_eepLoaded) {
        std::string error;
        if (!MergeConfiguration(image, configLength, false, error)) {
            link.MessageBox(error, kQuillon, kErrorBox);
            return end();
        }
    }
    link.Post([this] { EnableControls(0, 1); });
    link.SetTimer(kTimerUpdate, 30);
    bool all = true;
    int written = 0;
    for (unsigned i = 0; i < hubs && all; ++i) {
        if (m_hubType[i] == CHIP_ID_UNKNOWN) continue;
        // Every hub gets the loaded image; each run stamps its own container ID.
        std::vector<uint8_t> run = image;
        all = m_isp.UpdateFirmware(static_cast<int>(i), imageClass, run.data(), static_cast<int>(run.size()),
                                   &m_run.progress, &m_run.text, &m_run.error) != 0;
        if (all) ++written;
    }
    std::string message = m_run.text.Get();
    m_run.Finish();
    link.KillTimer(kTimerUpdate);
    link.SetPos(IDC_PROGRESS, 100);
    // Success means a hub holds the new firmware, not merely that nothing failed.
    if (all && written == 0) {
        all = false;
        message = kNoHubUpdated;
    }
    if (all) {
        link.MessageBox("Firmware update successfully!\nPlease re-plug the updated hub.", kQuillon, kInfoBox);
        link.SetText(IDC_STATUS, "ISP complete");
    } else {
        link.SetText(IDC_STATUS, message);
        link.MessageBox("ISP ERROR!", kQuillon, kErrorBox);
    }
    link.Post([this] { EnableControls(1, 1); });
}

void CIspDlg::OnTimer(int id) {
    if (id != kTimerUpdate || m_console) return;
    ui::UpdateRun::Sample sample;
    if (!m_run.Read(sample)) return;
    Host().SetPos(IDC_PROGRESS, sample.progress < 0 ? 0 : sample.progress);
    SetText(IDC_STATUS, sample.text);
    Host().Redraw();
}

void CIspDlg::OnWorkerDone(int) {}

// --- store tools ---------------------------------------------------------------------------

void CIspDlg::ReadXromVersion(ui::WorkerLink* link) {
    Effects fx{*this, link};
    auto enableWindow = [&](bool on) { link ? link->EnableWindow(on) : Host().EnableWindow(on); };
    enableWindow(false);
    fx.SetText(IDC_HUB_VERSION, "");
    int type = m_hubType[0];
    int size = ConfigReadSize(type);
    std::vector<uint8_t> block(static_cast<size_t>(size), 0);
    if (IsFlashType(type)) m_isp.LoadFlashInfo();
    if (m_isp.ReadData(block.data(), size, 1, 0)) {
        StoreVersion v = StoreVersionFromBlock(block.data(), size);
        m_masked[0] = v.masked ? 1 : 0;
        fx.SetText(IDC_HUB_VERSION, v.text);
    } else {
        UiReport r = StoreVersionReadFailed(ToolOwner::MainDialog, m_isp.m_lasterror);
        if (!r.box.empty()) fx.Box(r.box, r.boxStyle);
        if (!r.status.empty()) fx.SetText(IDC_STATUS, r.status);
    }
    enableWindow(true);
}

void CIspDlg::DumpXrom() {
    Host().EnableWindow(false);
    m_isp.LoadFlashInfo();
    int type = m_hubType[0];
    int size = StoreSize(type);
    std::vector<uint8_t> store(static_cast<size_t>(size > 0 ? size : 0x4000), 0);
    if (!m_isp.ReadData(store.data(), static_cast<int>(store.size()), 0, 0)) {
        UiReport r = DumpFailed(ToolOwner::MainDialog, 1);
        MessageBox(r.box, kQuillon, r.boxStyle);
        Host().EnableWindow(true);
        return;
    }
    ImageVersion v = StoreVersionBytes(store.data(), static_cast<int>(store.size()), type);
    ui::FileRequest request;
    request.save = true;
    request.defaultExt = "ROM";
    request.fileName = DefaultStoreFileName(v.high, v.low);
    request.filter = "ROM Files (*.rom)|*.rom||";
    request.flags = ui::kOfnHideReadOnly | ui::kOfnOverwritePrompt;
    ui::FileResult file = FileDialog(request);
    if (file.ok) {
        UiReport r;
        WriteDumpFile(file.path, store, ToolOwner::MainDialog, 1, &r);
        if (!r.box.empty()) MessageBox(r.box, kQuillon, r.boxStyle);
        if (!r.status.empty()) SetStatus(r.status);
    }
    Host().EnableWindow(true);
}

void CIspDlg::EraseXrom() {
    if (MessageBox("Confirm XROM data will be erased?", "ISP WARNING",
                   ui::kMbSystemModal | ui::kMbYesNo | ui::kMbIconWarning) != ui::kIdYes)
        return;
    int type = m_hubType[0];
    if (type == CHIP_ID_UNKNOWN) {
        MessageBox("Undetermined hub type!", kQuillon, kErrorBox);
        SetStatus("Undetermined hub type!");
        return;
    }
    EnableControls(0, 1);
    SetStatus("Erasing...");
    int ok = (type == CHIP_ID_VX2240_EEPROM || type == CHIP_ID_VX2240_EEPROM_LITE) ? m_isp.EraseEeprom(0)
                                                                                 : m_isp.EraseFlash(0, nullptr);
    if (ok) {
        MessageBox("Erase XROM complete!\n\nISP Tool will be closed now.\nPlease re-plug the erased hub then open ISP Tool.",
                   kQuillon, kWarningBox);
        SetStatus("Erase XROM complete.");
        SetText(IDC_HUB_VERSION, "Mask");
        ExitProcessing();
        EndDialog(ui::kIdOk);
    } else {
        MessageBox(m_isp.m_lasterror, kQuillon, kErrorBox);
        SetStatus("Erase XROM data fail!");
        EnableControls(1, 1);
    }
}

void CIspDlg::SaveWithChecksum() {
    if (!m_imageLoaded) return;
    Host().EnableWindow(false);
    const uint8_t* config = m_eepLoaded && !m_config.empty() ? m_config.data() : nullptr;
    SumImage sum = BuildSumImage(m_image.data(), static_cast<int>(m_image.size()), m_imageClass, config,
                                 static_cast<int>(m_config.size()), ImageVersion{m_versionHigh, m_versionLow});
    if (sum.ok) {
        ui::FileRequest request;
        request.save = true;
        request.defaultExt = "SUM";
        request.fileName = sum.defaultName;
        request.filter = "SUM Files (*.sum)|*.sum||";
        request.flags = ui::kOfnHideReadOnly | ui::kOfnOverwritePrompt;
        ui::FileResult file = FileDialog(request);
        if (file.ok) {
            UiReport r;
            WriteSumFile(file.path, sum, ToolOwner::MainDialog, &r);
            if (!r.box.empty()) MessageBox(r.box, kQuillon, r.boxStyle);
            if (!r.status.empty()) SetStatus(r.status);
        }
    }
    Host().EnableWindow(true);
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

void CIspDlg::Exit() {
    if (Working()) return;
    if (m_restoreBeforeExit) SetStatus("Data processing before exit...");
    EnableControls(0, 1);
    ExitProcessing();
    EndDialog(ui::kIdOk);
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

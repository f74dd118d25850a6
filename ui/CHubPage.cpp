// A hub page: its controls and their rules, the hub type it shows, and the
// image, configuration and editor flows of its buttons.
#include "ui/CHubPage.h"

#include "files/EepFile.h"
#include "files/FirmwareImage.h"
#include "settings/DebugLog.h"
#include "ui/CMultiHubDlg.h"
#include "ui/config_editor.h"
#include "ui/store_tools.h"
#include "ui/win32/resource.h"

using multihub::Look;

namespace {

constexpr uint32_t kErrorBox = ui::kMbSystemModal | ui::kMbIconError;

// A page handler that may open a modal loop holds the dialog's page-busy
// count, so that a rebuild waits instead of deleting the page under it.
struct Busy {
    explicit Busy(CMultiHubDlg& d) : dlg(d) { dlg.PageBusy(1); }
    ~Busy() { dlg.PageBusy(-1); }
    CMultiHubDlg& dlg;
};

}  // namespace

CHubPage::CHubPage(CMultiHubDlg& dlg, CHubIsp& isp, int hubIndex, int imageCheck, int editorChoice)
    : Dialog(IDD_HUB_PAGE),
      m_dlg(dlg),
      m_isp(isp),
      m_hubIndex(hubIndex),
      m_imageCheck(imageCheck),
      m_editorChoice(editorChoice),
      m_config(512, 0) {}

CHubPage::~CHubPage() = default;

bool CHubPage::OnInitDialog() {
    SetText(IDC_PG_HUB_TYPE, "");
    return true;
}

void CHubPage::SetHubType(int type) {
    m_hubType = type;
    m_imageClass = m_imageCheck ? -1 : 1;
    SetText(IDC_PG_HUB_TYPE, HubTypeText(type));
    if (type == CHIP_ID_VX2240_EEPROM_LITE) {
        // The whole store is the configuration: no .eep goes in.
        SetText(IDC_PG_EEP_FILE, "");
        Enable(IDC_PG_EEP_FILE, false);
        Enable(IDC_PG_SELECT_EEP, false);
        Enable(IDC_PG_SAVE_CHECKSUM, false);
    }
    if (type == CHIP_ID_UNKNOWN) {
        SetText(IDC_PG_HUB_TYPE, "Unknown type!");
        EnableControls(0, 1);
    }
}

void CHubPage::EnableControls(int enable, int mode) {
    if (!IsOpen()) return;
    bool on = enable != 0 && !m_blocked;
    for (int id : {IDC_PG_SELECT_BIN, IDC_PG_SELECT_EEP, IDC_PG_READ_VERSION, IDC_PG_DUMP, IDC_PG_CONFIGURATIONS,
                   IDC_PG_ERASE, IDC_PG_EEP_FILE, IDC_PG_HUB_VERSION, IDC_PG_IMAGE_FILE, IDC_PG_IMAGE_VERSION})
        Enable(id, on);
    Enable(IDC_PG_SAVE_CHECKSUM, false);
    if (mode == 2 && on) {
        for (int id : {IDC_PG_READ_VERSION, IDC_PG_DUMP, IDC_PG_ERASE, IDC_PG_CONFIGURATIONS}) Enable(id, false);
    }
    if (mode == 3) Enable(IDC_PG_CONFIGURATIONS, true);
    if (on && (m_hubType == CHIP_ID_VX2240_EEPROM_LITE || m_imageCarriesConfig)) {
        Enable(IDC_PG_SELECT_EEP, false);
        Enable(IDC_PG_EEP_FILE, false);
    }
}

void CHubPage::OnCommand(int id, int code) {
    if (code != ui::kBnClicked) return;
    Busy busy(m_dlg);
    switch (id) {
        case IDC_PG_SELECT_BIN: SelectBin(); break;
        case IDC_PG_SELECT_EEP: SelectEep(); break;
        case IDC_PG_CONFIGURATIONS: OpenConfigurations(); break;
        case IDC_PG_READ_VERSION: ReadXromVersion(); break;
        case IDC_PG_DUMP: Dump(); break;
        case IDC_PG_ERASE: Erase(); break;
        case IDC_PG_SAVE_CHECKSUM: SaveWithChecksum(); break;
        default: break;
    }
}

void CHubPage::Report(const UiReport& r) {
    if (!r.box.empty()) MessageBox(r.box, multihub::kQuillon, r.boxStyle);
    if (r.status.empty()) return;
    switch (r.style) {
        case StatusStyle::Failure: m_dlg.Status(r.status, Look::Failure); break;
        case StatusStyle::ToolSuccess: m_dlg.Status(r.status, Look::ToolSuccess); break;
        default: m_dlg.Status(r.status, Look::Success); break;
    }
}

void CHubPage::TellDoIsp(bool on) {
    if (m_dlg.IsOpen()) m_dlg.Host().SendMessage(multihub::kMsgDoIsp, on ? 1 : 0, 0);
}

// --- image and configuration ---------------------------------------------------

int CHubPage::LoadFirmwareFile(const std::string& path, const std::string& fileName) {
    FirmwareLoad load = LoadFirmwareImage(path, fileName, LoadOwner::HubPage, m_hubType, m_imageCheck != 0);
    if (load.imageRead) {
        m_imagePath = path;
        m_imageName = fileName;
        m_image = load.image;
        m_imageClass = load.imageClass;
    }
    m_imageLoaded = load.ok;
    Report(load.report);
    if (!load.ok) return 0;
    SetText(IDC_PG_IMAGE_FILE, load.fileNameField);
    ShowImageVersion();
    return 1;
}

void CHubPage::ShowImageVersion() {
    ImageVersion v = ReadImageVersion(m_image.data(), static_cast<int>(m_image.size()));
    m_versionHigh = v.high;
    m_versionLow = v.low;
    SetText(IDC_PG_IMAGE_VERSION, VersionText(v.high, v.low));
}

int CHubPage::LoadEepFile(const std::string& path, const std::string& fileName) {
    SetText(IDC_PG_EEP_FILE, "");
    EepLoad load = LoadEepForHub(path, fileName, m_hubType, EepOwner::HubPage);
    if (!load.report.box.empty()) MessageBox(load.report.box, multihub::kQuillon, load.report.boxStyle);
    if (load.ok) {
        m_config = load.block;
        m_eepPath = path;
        m_eepName = fileName;
        SetText(IDC_PG_EEP_FILE, load.eepNameField);
    }
    m_eepLoaded = load.ok ? 1 : 0;
    return m_eepLoaded;
}

void CHubPage::DropConfiguration() {
    m_eepLoaded = 0;
    m_eepPath.clear();
    m_eepName.clear();
    SetText(IDC_PG_EEP_FILE, "");
}

void CHubPage::SelectBin() {
    ui::FileResult file = FileDialog(ui::ImageOpenRequest());
    if (!file.ok) return;
    m_imageCarriesConfig = ui::ImageCarriesConfig(file.ext);
    if (m_imageCarriesConfig) {
        // Such an image carries its configuration already.
        DropConfiguration();
        Enable(IDC_PG_SELECT_EEP, false);
        Enable(IDC_PG_SAVE_CHECKSUM, false);
    } else {
        bool eep = m_hubType != CHIP_ID_VX2240_EEPROM_LITE;
        Enable(IDC_PG_SELECT_EEP, eep);
        Enable(IDC_PG_EEP_FILE, eep);
        Enable(IDC_PG_SAVE_CHECKSUM, true);
    }
    if (LoadFirmwareFile(file.path, file.name)) {
        TellDoIsp(true);
        return;
    }
    TellDoIsp(false);
    m_imageLoaded = false;
    SetText(IDC_PG_IMAGE_FILE, "");
    SetText(IDC_PG_IMAGE_VERSION, "");
    Enable(IDC_PG_SAVE_CHECKSUM, false);
}

void CHubPage::SelectEep() {
    ui::FileRequest request;
    request.filter = "EEP File (*.eep)|*.eep||";
    request.bufferSize = 5000;
    ui::FileResult file = FileDialog(request);
    if (!file.ok) return;
    if (LoadEepFile(file.path, file.name)) {
        m_dlg.Status(kLoadEepOk, Look::Success);
    } else {
        DebugLog("%s\n", kLoadEepFailed);
        m_dlg.Status(kLoadEepFailed, Look::Failure);
    }
}

void CHubPage::OpenConfigurations() {
    if (m_hubIndex == 99) {
        // No hub behind the placeholder: the editor works on the block alone.
        ui::RunConfigEditor(*this, m_config, m_eepLoaded, m_hubIndex, CHIP_ID_UNKNOWN, false);
        return;
    }
    if (m_hubType == CHIP_ID_VX2240_EEPROM_LITE) {
        // The whole 256-byte store is edited as the image.
        m_image.assign(256, 0);
        m_imageLoaded = false;
        TellDoIsp(false);
        int saved = ui::RunConfigEditor(*this, m_image, 0, m_hubIndex, m_hubType, m_masked != 0);
        if (!m_eepLoaded) m_eepLoaded = saved;
        if (saved == 1) {
            m_imageClass = 4;
            m_imageLoaded = true;
            TellDoIsp(true);
        }
        return;
    }
    if (m_hubType == CHIP_ID_UNKNOWN) {
        MessageBox("Can't verify Chip ID from Hub 1!!", multihub::kQuillon, kErrorBox);
        return;
    }
    int saved = ui::RunConfigEditor(*this, m_config, m_eepLoaded, m_hubIndex, m_hubType, m_masked != 0);
    if (!m_eepLoaded) m_eepLoaded = saved;
}

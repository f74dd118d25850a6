// Images and configurations: loading a firmware image or an .eep (the Select
// buttons and the console's package check), and merging the configuration
// into the image an update writes.
#include "ui/CIspDlg.h"

#include "files/EepFile.h"
#include "files/FirmwareImage.h"
#include "settings/DebugLog.h"
#include "ui/CIspDlg_internal.h"
#include "ui/store_tools.h"
#include "ui/win32/resource.h"

using namespace ispdlg;

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

void CIspDlg::SelectBin() {
    ui::FileResult file = FileDialog(ui::ImageOpenRequest());
    if (!file.ok) return;
    m_imageCarriesConfig = ui::ImageCarriesConfig(file.ext);
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

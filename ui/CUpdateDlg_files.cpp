// The update-only dialog's file search: the response files, then the first
// .sum, else the first .bin and an .eep beside it.  Outside folder mode the
// files lie in the program folder and are searched at start; in folder mode
// they lie in the subfolder of the attached hub's series and are searched
// once the hub is identified.
#include <algorithm>

#include "files/EepFile.h"
#include "files/FilePort.h"
#include "files/FirmwareImage.h"
#include "power/Programs.h"
#include "settings/DebugLog.h"
#include "ui/CUpdateDlg.h"
#include "ui/CUpdateDlg_internal.h"

using namespace updatedlg;

namespace {

constexpr const char* kUnsupportedChip = "Do not support this chip type! Exit program";
constexpr const char* kUndeterminedHub = "Undetermined hub type! program exits";

}  // namespace

bool CUpdateDlg::LocateUpdateFiles(Out out) {
    auto fail = [&](const std::string& text) {
        out.Box(text, kCaption, kErrorBox);
        return false;
    };
    tessaro::IFileSystem& files = *tessaro::Sys().files;
    if (!files.Exists(power::JoinPath(m_programFolder, "install.iss"))) return fail(kInstallIssMissing);
    if (!files.Exists(power::JoinPath(m_programFolder, "uninstall.iss"))) return fail(kUninstallIssMissing);

    std::string folder = m_programFolder;
    if (m_folderMode) {
        switch (m_hubType[0]) {
            case CHIP_ID_VX2230_SPI:
                DebugLog("search for VX710x-10 update files...\n");
                folder = power::JoinPath(m_programFolder, "VX710x-10");
                break;
            case CHIP_ID_VX2240_SPI:
            case CHIP_ID_VX2240_EEPROM:
            case CHIP_ID_VX2210_SPI:
                DebugLog("search for VX710x-21 update files...\n");
                folder = power::JoinPath(m_programFolder, "VX710x-21");
                break;
            case CHIP_ID_VX2240_EEPROM_LITE: return fail(kUnsupportedChip);
            default: return fail(kUndeterminedHub);
        }
    }

    // A run of folder mode searches afresh: nothing of an earlier search stays.
    m_image.clear();
    m_imageClass = -1;
    m_eepPresent = false;
    m_eepLength = 0;

    std::string name = FirstMatch(power::JoinPath(folder, "*.sum"));
    const bool isSum = !name.empty();
    if (!isSum) name = FirstMatch(power::JoinPath(folder, "*.bin"));
    if (name.empty()) return fail(kBinNotFound);

    const std::string path = power::JoinPath(folder, name);
    uint32_t error = 0;
    if (!ReadWholeFile(path, m_image, error)) {
        DebugLog("Couldn't open firmware file: %s\n", SystemErrorText(error).c_str());
        m_image.clear();
        return fail(std::string(kCouldntOpenFirmware) + path);
    }
    const int length = static_cast<int>(std::min<size_t>(m_image.size(), 0x7FFFFFFF));
    m_imageClass = CHubIsp::ClassifyImage(m_image.data(), length);
    if (m_imageClass == -1)
        return fail(isSum ? "Can't Verify chip ID from sum file!" : "Can't Verify chip ID from bin file!");
    out.Status(isSum ? UpdateOnlySumStatus(m_imageClass) : UpdateOnlyBinStatus(m_imageClass));
    out.Text(IDC_UPD_FW_FILE, name);
    const ImageVersion version = ReadImageVersion(m_image.data(), length);
    m_versionHigh = version.high;
    m_versionLow = version.low;
    // A .sum carries its configuration already: no .eep goes with it.
    const std::string eep = isSum ? std::string() : FirstMatch(power::JoinPath(folder, "*.eep"));
    if (eep.empty()) {
        out.Text(IDC_UPD_EEP_FILE, "None");
        return true;
    }
    return ReadEep(out, power::JoinPath(folder, eep), eep);
}

bool CUpdateDlg::ReadEep(Out out, const std::string& path, const std::string& name) {
    std::vector<uint8_t> bytes;
    uint32_t error = 0;
    if (!ReadWholeFile(path, bytes, error)) {
        DebugLog("Couldn't open EEP file: %s\n", SystemErrorText(error).c_str());
        out.Box(std::string(kCouldntOpenEep) + path, kCaption, kErrorBox);
        return false;
    }
    if (bytes.size() != 512 && bytes.size() != 144) {
        out.Box("EEP file format ERROR! Exit program", kCaption, kErrorBox);
        out.Text(IDC_UPD_EEP_FILE, name);
        return false;
    }
    if (m_folderMode) {
        if (m_hubType[0] == CHIP_ID_VX2240_EEPROM_LITE) {
            out.Box(kUnsupportedChip, kCaption, kErrorBox);
            return false;
        }
        if (m_hubType[0] == CHIP_ID_UNKNOWN) {
            out.Box(kUndeterminedHub, kCaption, kErrorBox);
            return false;
        }
    }
    // A fresh block: the file's bytes, zeros after a short one.
    m_block.assign(kBlockBuffer, 0);
    std::copy(bytes.begin(), bytes.end(), m_block.begin());
    m_eepLength = static_cast<int>(bytes.size());
    m_eepPresent = true;
    out.Text(IDC_UPD_EEP_FILE, name);
    return true;
}

// The configurations editor's reading and writing: the hub read deferred to
// timer 1 after start, Load EEP From XRom, loading a file and saving one.
#include <cstdio>

#include "files/FilePort.h"
#include "ui/CConfigDlg.h"
#include "ui/config_ids.h"

namespace {

constexpr const char* kQuillon = "Quillon";
constexpr const char* kConfigurations = "Configurations";
constexpr uint32_t kErrorBox = ui::kMbSystemModal | ui::kMbIconError;
constexpr uint32_t kInfoBox = ui::kMbSystemModal | ui::kMbIconInformation;
constexpr uint32_t kWarningBox = ui::kMbSystemModal | ui::kMbIconWarning;
constexpr const char* kReadFailed = "Read configurations failed!";
constexpr const char* kInvalidSize = "Invalid EEP file size!";

}  // namespace

ui::FileRequest CConfigDlg::FileRequestForType(bool save) const {
    ui::FileRequest r;
    r.save = save;
    if (m_hubType == 4) {
        r.filter = "VX7101 EEP File (*.bin)|*.bin||";
        r.defaultExt = "BIN";
    } else {
        r.filter = "EEP File (*.eep)|*.eep||";
        r.defaultExt = "EEP";
    }
    r.flags = save ? (ui::kOfnHideReadOnly | ui::kOfnOverwritePrompt) : (ui::kOfnHideReadOnly | ui::kOfnFileMustExist);
    return r;
}

bool CConfigDlg::ReadHubBlock(std::vector<uint8_t>& block) {
    const int size = BlockSize();
    if (size == 0) return false;
    block.assign(static_cast<size_t>(size), 0);
    m_isp.LoadFlashInfo();
    return m_isp.ReadData(block.data(), size, 1, static_cast<unsigned>(m_hubIndex)) == 1;
}

void CConfigDlg::ReadHubAfterStart() {
    // The read buffer is a local vector: it is freed on every way out.
    auto limited = [&] {
        Enable(IDC_CFG_LOAD_FILE, true);
        Enable(IDC_CFG_EXIT, true);
        Enable(IDC_CFG_LOAD_XROM, false);
        Enable(IDC_CFG_SAVE_EXIT, false);
    };
    if (!m_isp.OpenDevice()) {
        MessageBox("No hub is attached on the platform,\n\nthe manipulation in the configurations will be limited.",
                   kQuillon, kWarningBox);
        return limited();
    }
    if (m_isp.GetChipType(m_hubIndex, 0) == -1) return limited();
    const bool maskRom = m_page ? m_isp.IsMaskRom(m_hubIndex) != 0
                                : (m_hubType != 4 && m_isp.IsMaskRom(m_hubIndex) != 0) || m_maskRom;
    if (maskRom) {
        MessageBox("Hub is now running MASK ROM mode,\n\nto load EEP file before alternating configurations is "
                   "recommended.",
                   kQuillon, kInfoBox);
        return limited();
    }
    std::vector<uint8_t> block;
    if (ReadHubBlock(block)) {
        EnableConfigControls(1);
        DecodeBlock(block.data(), static_cast<int>(block.size()));
    } else {
        MessageBox(kReadFailed, kConfigurations, kErrorBox);
    }
    for (int id : {IDC_CFG_SAVE_FILE, IDC_CFG_LOAD_FILE, IDC_CFG_EXIT, IDC_CFG_LOAD_XROM, IDC_CFG_SAVE_EXIT})
        Enable(id, true);
}

void CConfigDlg::LoadFromXrom() {
    std::vector<uint8_t> block;
    if (!ReadHubBlock(block)) {
        MessageBox(kReadFailed, kConfigurations, kErrorBox);
        return;
    }
    DecodeBlock(block.data(), static_cast<int>(block.size()));
    MessageBox("Read configuration successfully!", kConfigurations, kInfoBox);
    Enable(IDC_CFG_SAVE_FILE, true);
}

void CConfigDlg::LoadFromFile() {
    ui::FileResult chosen = FileDialog(FileRequestForType(false));
    if (!chosen.ok) return;
    std::vector<uint8_t> data;
    uint32_t error = 0;
    if (!ReadWholeFile(chosen.path, data, error)) {
        MessageBox("Couldn't open EEP file!\n\n" + chosen.path, kQuillon, kErrorBox);
        return;
    }
    const int length = static_cast<int>(data.size());
    if (m_unknownType) {
        ConfigFormat decided;
        if (!ConfigFormatForSize(length, &decided)) {
            MessageBox(kInvalidSize, kQuillon, kErrorBox);
            return;
        }
        // The first file fixes the type for the rest of the dialog's life.
        m_hubType = decided.hubType;
        m_unknownType = false;
    }
    // Only a file of exactly this type's block size is taken: a shorter or
    // longer one is never decoded in a layout it was not made for.
    const int size = BlockSize();
    if (size == 0 || length != size) {
        MessageBox(kInvalidSize, kQuillon, kErrorBox);
        return;
    }
    if (!m_isp.CheckEepFormat(data.data(), length)) {
        MessageBox("Invalid EEP file format!", kQuillon, kErrorBox);
        return;
    }
    EnableConfigControls(1);
    DecodeBlock(data.data(), size);
    Enable(IDC_CFG_SAVE_FILE, true);
    On(IDC_CFG_APPLE, length == 144);
    On(IDC_CFG_RENESAS, length == 144);
}

void CConfigDlg::SaveToFile() {
    const int size = BlockSize();
    if (size == 0) {
        MessageBox("This hub type has no configuration block.", kConfigurations, kErrorBox);
        return;
    }
    HubConfig c;
    if (!GatherConfig(c)) return;
    std::vector<uint8_t> block(static_cast<size_t>(size), 0);
    if (!EncodeConfig(c, Format(), block.data(), size)) return;
    ui::FileResult chosen = FileDialog(FileRequestForType(true));
    if (!chosen.ok) return;
    // Written beside the target and renamed over it: a failed save leaves
    // no partial file and an older file of that name as it was.
    uint32_t error = 0;
    if (!WriteWholeFile(chosen.path, block.data(), block.size(), error)) {
        std::string text = "Couldn't save EEP file!\n\n" + chosen.path;
        const std::string reason = SystemErrorText(error);
        if (!reason.empty()) text += "\n\n" + reason;
        MessageBox(text, kConfigurations, kErrorBox);
    }
}

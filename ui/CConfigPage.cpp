// The compact form's own way of loading a file: only 512-byte blocks, no
// format check ("Wrong file!" for anything else).
#include "ui/CConfigPage.h"

#include "files/FilePort.h"
#include "ui/config_ids.h"

void CConfigDlg::LoadPageFile() {
    ui::FileResult chosen = FileDialog(FileRequestForType(false));
    if (!chosen.ok) return;  // the controls stay as they are
    std::vector<uint8_t> data;
    uint32_t error = 0;
    if (!ReadWholeFile(chosen.path, data, error) || data.size() != 512) {
        MessageBox("Wrong file!", "Quillon", ui::kMbSystemModal | ui::kMbIconError);
        return;
    }
    if (m_unknownType) {
        m_hubType = 1;  // a 512-byte block is the wide layout
        m_unknownType = false;
    }
    if (BlockSize() != 512) {
        MessageBox("Wrong file!", "Quillon", ui::kMbSystemModal | ui::kMbIconError);
        return;
    }
    EnableConfigControls(1);
    DecodeBlock(data.data(), 512);
    Enable(IDC_CFG_SAVE_FILE, true);
}

// The store tools: read the stored version, dump the store to a file, erase
// it, and save the loaded image with its checksum.
#include "ui/CIspDlg.h"

#include "files/FirmwareImage.h"
#include "files/StoreFiles.h"
#include "ui/CIspDlg_internal.h"
#include "ui/store_tools.h"
#include "ui/win32/resource.h"

using namespace ispdlg;

namespace {

constexpr uint32_t kWarningBox = ui::kMbSystemModal | ui::kMbIconWarning;

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
    int type = m_hubType[0];
    std::vector<uint8_t> store;
    if (!ui::ReadStoreForDump(m_isp, type, 0, store)) {
        UiReport r = DumpFailed(ToolOwner::MainDialog, 1);
        MessageBox(r.box, kQuillon, r.boxStyle);
        Host().EnableWindow(true);
        return;
    }
    ui::FileResult file = FileDialog(ui::DumpFileRequest(store, type));
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
    // The erase blocks this thread: the status is on screen before it starts.
    SetStatus("Erasing...");
    EnableControls(0, 1);
    Host().RepaintControls({IDC_STATUS});
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

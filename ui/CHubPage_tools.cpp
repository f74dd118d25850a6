// A hub page's store tools on its own hub (read the stored version, dump,
// erase, save with checksum) and its part of the update.
#include "ui/CHubPage.h"

#include "files/EepFile.h"
#include "files/FirmwareImage.h"
#include "files/StoreFiles.h"
#include "settings/DebugLog.h"
#include "ui/CMultiHubDlg.h"
#include "ui/store_tools.h"
#include "ui/win32/resource.h"

using multihub::Look;

namespace {

constexpr uint32_t kErrorBox = ui::kMbSystemModal | ui::kMbIconError;
constexpr uint32_t kInfoBox = ui::kMbSystemModal | ui::kMbIconInformation;

int ConfigReadSize(int hubType) {
    int size = ConfigBlockSize(hubType);
    return size > 0 ? size : 512;
}

bool IsEeprom(int hubType) { return hubType == CHIP_ID_VX2240_EEPROM || hubType == CHIP_ID_VX2240_EEPROM_LITE; }

}  // namespace

bool CHubPage::ReadXromVersion() {
    Host().EnableWindow(false);
    SetText(IDC_PG_HUB_VERSION, "");
    int size = ConfigReadSize(m_hubType);
    std::vector<uint8_t> block(static_cast<size_t>(size), 0);
    if (!IsEeprom(m_hubType)) m_isp.LoadFlashInfo();
    bool ok = m_isp.ReadData(block.data(), size, 1, static_cast<unsigned>(m_hubIndex)) != 0;
    if (ok) {
        StoreVersion v = StoreVersionFromBlock(block.data(), size);
        m_masked = v.masked ? 1 : 0;
        SetText(IDC_PG_HUB_VERSION, v.text);
    } else {
        Report(StoreVersionReadFailed(ToolOwner::HubPage, m_isp.m_lasterror));
    }
    Host().EnableWindow(true);
    return ok;
}

void CHubPage::Dump() {
    Host().EnableWindow(false);
    std::vector<uint8_t> store;
    int number = m_hubIndex + 1;
    if (!ui::ReadStoreForDump(m_isp, m_hubType, m_hubIndex, store)) {
        Report(DumpFailed(ToolOwner::HubPage, number));
        Host().EnableWindow(true);
        return;
    }
    ui::FileResult file = FileDialog(ui::DumpFileRequest(store, m_hubType));
    if (file.ok) {
        UiReport r;
        WriteDumpFile(file.path, store, ToolOwner::HubPage, number, &r);
        Report(r);
    }
    Host().EnableWindow(true);
}

void CHubPage::Erase() {
    int number = m_hubIndex + 1;
    if (MessageBox(Format("Confirm Hub%d XROM data will be erased?", number), "ISP WARNING",
                   ui::kMbSystemModal | ui::kMbYesNo | ui::kMbIconWarning) != ui::kIdYes)
        return;
    if (m_hubType == CHIP_ID_UNKNOWN) {
        MessageBox("Undetermined hub type!", multihub::kQuillon, kErrorBox);
        m_dlg.Status("Undetermined hub type!", Look::Failure);
        return;
    }
    EnableControls(0, 1);
    bool eeprom = IsEeprom(m_hubType);
    int ok = eeprom ? m_isp.EraseEeprom(m_hubIndex) : m_isp.EraseFlash(m_hubIndex, nullptr);
    if (ok) {
        // The hub holds no firmware now: the page stays off until the hub
        // is re-plugged and the tabs are rebuilt.
        MessageBox("Erase XROM complete!\nPlease re-plug the device", multihub::kQuillon, kInfoBox);
        m_dlg.Status(eeprom ? "Erase XROM complete." : "Erase XROM complete", Look::Success);
        return;
    }
    const char* text = eeprom ? "Erase XROM data Fail!!" : "Erase XROM ERROR!!";
    MessageBox(text, multihub::kQuillon, kErrorBox);
    m_dlg.Status(eeprom ? "Erase XROM data Fail!!" : "Erase XRom data Fail!!", Look::Failure);
    EnableControls(1, 1);
}

void CHubPage::SaveWithChecksum() {
    if (!m_imageLoaded) return;
    Host().EnableWindow(false);
    const uint8_t* config = m_eepLoaded ? m_config.data() : nullptr;
    SumImage sum = BuildSumImage(m_image.data(), static_cast<int>(m_image.size()), m_imageClass, config,
                                 static_cast<int>(m_config.size()), ImageVersion{m_versionHigh, m_versionLow});
    if (sum.ok) {
        ui::FileRequest request;
        request.save = true;
        request.defaultExt = "SUM";
        request.fileName = sum.defaultName;
        request.filter = "SUM Files (*.sum)|*.sum||";
        ui::FileResult file = FileDialog(request);
        if (file.ok) {
            UiReport r;
            WriteSumFile(file.path, sum, ToolOwner::HubPage, &r);
            Report(r);
        }
    }
    Host().EnableWindow(true);
}

// --- the update --------------------------------------------------------------------

int CHubPage::UpdateHub(ui::WorkerLink& link, bool* skipped) {
    CMultiHubDlg* dlg = &m_dlg;
    auto status = [&](const std::string& text, Look look) {
        link.Post([dlg, text, look] { dlg->Status(text, look); });
    };
    auto fail = [&](const std::string& text, bool log) {
        link.MessageBox(text, multihub::kQuillon, kErrorBox);
        if (log) DebugLog("%s\n", text.c_str());
        m_dlg.Run().text.Set(text);
        return 0;
    };
    int number = m_hubIndex + 1;
    *skipped = false;
    if (!m_imageLoaded) {
        status(Format("Hub %d is skipped", number), Look::Success);
        *skipped = true;
        return 1;
    }
    status(Format("Hub%d is determined and ready", number), Look::Success);
    if (m_image.empty()) return fail(kDataBufferNull, true);
    if (m_hubType == CHIP_ID_VX2240_EEPROM_LITE || m_hubType == CHIP_ID_UNKNOWN) return fail(kChipTypeErrorAssign, false);
    // Every run writes a copy: the page keeps its image as it was loaded.
    std::vector<uint8_t> image = m_image;
    if (m_eepLoaded) {
        UiReport r;
        if (!AssignEepHubPage(image, true, m_imageClass, m_hubType, true, m_config.data(),
                              static_cast<int>(m_config.size()), &r)) {
            std::string text = r.box.empty() ? r.message : r.box;
            return fail(text, false);
        }
    }
    ui::UpdateRun& run = m_dlg.Run();
    return m_isp.UpdateFirmware(m_hubIndex, m_imageClass, image.data(), static_cast<int>(image.size()), &run.progress,
                                &run.text, &run.error);
}

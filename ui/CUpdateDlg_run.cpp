// The update-only dialog's update run (the worker message 0x468 starts), the
// final texts, the automatic removal of the driver, and the read of the
// version the hub runs.
#include <algorithm>

#include "files/EepFile.h"
#include "files/FirmwareImage.h"
#include "platform/ports.h"
#include "settings/DebugLog.h"
#include "ui/CUpdateDlg.h"
#include "ui/CUpdateDlg_internal.h"

using namespace updatedlg;
using tessaro::Sys;

namespace {

constexpr uint32_t kDriverSettleMs = 20000;  // a freshly installed driver takes the hub over
constexpr uint32_t kAfterSwitchOffMs = 500;
constexpr uint32_t kResetWaitMs = 3500;
constexpr uint32_t kPrepareStepMs = 1000;
constexpr const char* kEepDoesNotFit = "Incompatible EEP file with the attached hub, please check.";

}  // namespace

void CUpdateDlg::RunUpdate(ui::WorkerLink& link) {
    Out out{*this, &link};
    // Every run starts as failed: only this run's own success counts.
    m_result = 0;
    const bool ok = UpdateSteps(out) != 0;
    m_run.Finish();
    m_isp.CloseDevice();
    if (!link.DialogOpen()) return;

    link.EnableWindow(true);
    if (ok) {
        out.Status("FW Update Complete.");
        m_updateDone = true;
        m_result = 1;
        // Read before any removal starts, and into a buffer of its own.
        ReadHubVersion(out);
    } else {
        m_updateDone = false;
        out.Status("FW Update ERROR!");
        out.Box("FW Update ERROR!", kCaption, kErrorBox);
    }
    // After a failure the driver stays for the retry; the buttons come back
    // when this worker is done.
    if (!ok || !m_autoUninstall) return;
    out.Pos(0);
    const char* const texts[] = {"Preparing for uninstall driver.", "Preparing for uninstall driver...",
                                 "Preparing for uninstall driver....."};
    for (const char* text : texts) {
        out.Status(text);
        Sys().clock->Sleep(kPrepareStepMs);
    }
    // Queued behind this worker: the guard holds until the removal has ended.
    link.Post([this] { StartSetup(kSetupUninstall, 300, kUninstallWorker, true); });
}

int CUpdateDlg::UpdateSteps(Out out) {
    ui::WorkerLink& link = *out.link;
    if (!m_folderMode && m_image.empty()) {
        out.Box(kDataBufferNull, kCaption, kErrorBox);
        DebugLog("%s\n", kDataBufferNull);
        return 0;
    }
    m_updateDone = false;
    if (!m_folderMode) Sys().clock->Sleep(kDriverSettleMs);
    if (!link.DialogOpen()) return 0;

    if (!m_isp.OpenDevice()) {
        out.Box("Device or Driver is not found!", kCaption, kErrorBox);
        return 0;
    }
    unsigned hubs = 0;
    if (!m_isp.GetHubNumber(&hubs)) {
        out.Box("Get hub number ERROR!", kCaption, kErrorBox);
        out.Status("Get hub number ERROR!");
        return 0;
    }
    link.EnableWindow(false);
    out.Enable(IDC_UPD_UPDATE, false);
    out.Enable(IDC_UPD_UNINSTALL, false);

    SwitchOffOptions options;
    options.powerPlanStatus = "Changing power plan...";
    options.perDeviceStatus = "Deactivating selective suspend, please wait...";
    options.status = [&out](const std::string& text) { out.Status(text); };
    options.firstHubOnly = true;
    options.perHubWaitMs = 0;
    std::string failure;
    if (!SwitchSelectiveSuspendOff(m_isp, std::min<unsigned>(hubs, kMaxHubs), m_suspend, failure, options)) {
        out.Status(failure);
        out.Box(failure, failure == kDeactivateFailed ? kQuillon : kCaption, kErrorBox);
        return 0;
    }
    Sys().clock->Sleep(kAfterSwitchOffMs);
    for (unsigned i = 0; i < hubs && i < static_cast<unsigned>(kMaxHubs); ++i) {
        m_hubType[i] = m_isp.GetChipType(static_cast<int>(i), 1);
        if (m_hubType[i] == CHIP_ID_UNKNOWN) return 0;
    }
    if (m_folderMode && !LocateUpdateFiles(out)) return 0;

    std::vector<uint8_t> run;
    if (!MatchAndMerge(out, run)) return 0;

    m_run.Reset();
    link.SetTimer(kTimerProgress, 30);
    const int updated = m_isp.UpdateFirmware(0, m_imageClass, run.data(), static_cast<int>(run.size()),
                                             &m_run.progress, &m_run.text, &m_run.error);
    m_run.Finish();
    link.KillTimer(kTimerProgress);
    out.Pos(100);
    if (!updated) return 0;
    m_isp.SoftwareReset(0);
    out.Status("Resetting Hub 1...");
    Sys().clock->Sleep(kResetWaitMs);
    m_isp.CloseDevice();
    return 1;
}

int CUpdateDlg::MatchAndMerge(Out out, std::vector<uint8_t>& run) {
    const int hubType = m_hubType[0];
    if (m_imageClass == -1) {
        out.Box("Can't Verify chip ID from bin file!", kCaption, kErrorBox);
        out.Status(kIncorrectBinaryFormat);
        return 0;
    }
    if (!ImageFitsHub(m_imageClass, hubType)) {
        out.Box(kMismatchedFirmware, kQuillon, kErrorBox);
        m_run.text.Set(kMismatchedFirmware);
        DebugLog("%s\n", kMismatchedFirmware);
        return 0;
    }
    // The loaded image stays as read: each run merges into a copy.
    run = m_image;
    if (!m_eepPresent) return 1;
    if (m_block.empty()) {
        out.Box(kConfigBufferNull, kCaption, kErrorBox);
        DebugLog("%s\n", kConfigBufferNull);
        return 0;
    }
    // The block goes in only at the size this hub's type holds: a compact
    // block is never written as a wide one, nor a wide one cut.
    const int length = MergeLength(hubType);
    if (length == 0 || m_eepLength != length) {
        DebugLog("EEP file of %d bytes for a hub of type %d\n", m_eepLength, hubType);
        out.Box(kEepDoesNotFit, kCaption, kErrorBox);
        out.Status(kEepDoesNotFit);
        return 0;
    }
    MergeConfigIntoImage(run, m_imageClass, m_block.data(), m_eepLength, length);
    return 1;
}

void CUpdateDlg::ReadHubVersion(Out out) {
    if (m_mode == 1) m_hubType[0] = m_isp.GetChipType(0, 0);
    const int hubType = m_hubType[0];
    int size = ConfigBlockSize(hubType);
    if (size == 0) size = kBlockBuffer;
    if (hubType == CHIP_ID_VX2230_SPI || hubType == CHIP_ID_UNKNOWN || hubType == CHIP_ID_VX2240_SPI ||
        hubType == CHIP_ID_VX2210_SPI)
        m_isp.LoadFlashInfo();
    // A buffer of its own: the .eep block kept for a retry is never touched.
    std::vector<uint8_t> block(static_cast<size_t>(size), 0);
    if (!m_isp.ReadData(block.data(), size, 1, 0)) {
        out.Status("Read XROM Fail!");
        return;
    }
    const unsigned version = block[0x0E] | (block[0x0F] << 8);
    if (version == 0xFFFF) {
        Sink sink(*this, out.link);
        FindHubHardwareId(sink);
        return;
    }
    out.Text(IDC_UPD_FW_VERSION, Format("%04X", version));
}

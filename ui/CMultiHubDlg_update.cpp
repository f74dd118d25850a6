// Do ISP: every page's hub in tab order, on a worker, while the rest of the
// dialog stands still; and the timer that mirrors the run.
#include "ui/CMultiHubDlg.h"

#include "files/EepFile.h"
#include "settings/DebugLog.h"
#include "ui/CHubPage.h"
#include "ui/CHubTab.h"
#include "ui/win32/resource.h"

using namespace multihub;

namespace {

constexpr uint32_t kErrorBox = ui::kMbSystemModal | ui::kMbIconError;
constexpr uint32_t kInfoBox = ui::kMbSystemModal | ui::kMbIconInformation;
constexpr int kUpdateWorker = 1;

// Why an image may not go to a hub of this type; empty when it may.
std::string Refusal(int hubType, int imageClass, int number) {
    switch (hubType) {
        case CHIP_ID_VX2230_SPI:
            if (imageClass != 1) return Format("Hub %d is VX710x-10 series hub, Do ISP canceled!", number);
            break;
        case CHIP_ID_VX2240_SPI:
        case CHIP_ID_VX2240_EEPROM:
            if (imageClass != 2 && imageClass != 5)
                return Format("Hub %d is VX710x-21/22 series hub, Do ISP canceled!", number);
            break;
        case CHIP_ID_VX2240_EEPROM_LITE:
            if (imageClass != 4) return Format("Hub %d is VX7103 hub  (256 EEPROM), Do ISP canceled!", number);
            break;
        case CHIP_ID_VX2210_SPI:
            if (imageClass != 5 && imageClass != 2) return Format("Hub %d is VX7103, Do ISP canceled!", number);
            break;
        default: break;
    }
    return std::string();
}

}  // namespace

void CMultiHubDlg::DoIsp() {
    if (m_ispRunning || Working() || m_tab->IsPlaceholder()) return;
    // Nothing else of the dialog is live until the worker is done.
    m_ispRunning = 1;
    Enable(IDC_MH_DO_ISP, false);
    Enable(IDC_MH_SAME_SETTINGS, false);
    Enable(IDC_MH_TAB, false);
    m_tab->EnableAll(0, 1);
    m_run.Reset();
    m_outcome = Outcome();
    Host().SetPos(IDC_MH_PROGRESS, 0);
    m_sameRun = SameSettings();
    StartWorker([this](ui::WorkerLink& link) { UpdateWorker(link); }, kUpdateWorker);
}

void CMultiHubDlg::UpdateWorker(ui::WorkerLink& link) {
    const int pages = m_tab->PageCount();
    CHubPage* first = m_tab->Page(0);
    auto status = [&](const std::string& text, Look look) {
        link.Post([this, text, look] { Status(text, look); });
    };
    auto stop = [&](const std::string& text) {
        m_outcome.failed = true;
        m_outcome.text = text;
        m_run.Finish();
    };
    for (int i = 0; i < pages; ++i) {
        CHubPage* page = m_tab->Page(i);
        int number = i + 1;
        if (m_sameRun && i > 0) {
            int loaded = link.Call<int>([page, first] { return page->LoadFirmwareFile(first->ImagePath(), first->ImageName()); }, 0);
            if (!loaded) {
                std::string text = Format("ERROR occurred at Hub %d\nStop ISP", number);
                link.MessageBox(text, kQuillon, kErrorBox);
                return stop(text);
            }
            if (first->EepLoaded()) {
                if (!link.Call<int>([page, first] { return page->LoadEepFile(first->EepPath(), first->EepName()); }, 0))
                    return stop(kLoadEepFailed);
            } else {
                // Page 0 has no configuration: none of another page's goes in.
                link.Call<int>([page] { page->DropConfiguration(); return 1; }, 0);
            }
        }
        if (!page->ImageLoaded()) continue;
        if (page->HubType() == CHIP_ID_UNKNOWN) {
            std::string text = Format("Invalid Hub%d firmware!", number);
            status(text, Look::Failure);
            return stop(text);
        }
        std::string refusal = Refusal(page->HubType(), page->ImageClass(), number);
        if (!refusal.empty()) {
            link.MessageBox(refusal, kQuillon, kErrorBox);
            status("Mismatched binary file!", Look::Failure);
            return stop("Mismatched binary file!");
        }
    }

    link.PostMessage(kMsgDoIsp, 0, 0);
    link.SetTimer(kTimerProgress, 30);
    link.Post([this] { SelectPage(0); });
    bool failed = false;
    int written = 0;
    for (int i = 0; i < pages; ++i) {
        bool skipped = false;
        if (!m_tab->Page(i)->UpdateHub(link, &skipped)) {
            failed = true;
            break;
        }
        if (!skipped) ++written;
        if (i + 1 < pages) link.Post([this, i] { SelectPage(i + 1); });
    }
    std::string message = m_run.text.Get();
    m_run.Finish();
    link.KillTimer(kTimerProgress);
    link.SetPos(IDC_MH_PROGRESS, 100);
    m_outcome.failed = failed;
    m_outcome.written = written;
    m_outcome.text = message;
    if (failed) {
        // The run's own words, where the mirror left them.
        status(message, Look::Failure);
        link.MessageBox("ISP ERROR!", kQuillon, kErrorBox);
    } else if (written > 0) {
        link.MessageBox("Firmware update successfully!\nPlease re-plug the updated hub.", kQuillon, kInfoBox);
        status("ISP complete", Look::Success);
    }
}

void CMultiHubDlg::OnWorkerDone(int tag) {
    if (tag == kUpdateWorker) AfterUpdate();
}

void CMultiHubDlg::AfterUpdate() {
    m_ispRunning = 0;
    m_run.Finish();
    KillTimer(kTimerProgress);
    Enable(IDC_MH_DO_ISP, false);
    bool several = !m_tab->IsPlaceholder() && m_tab->PageCount() >= 2;
    Enable(IDC_MH_SAME_SETTINGS, m_hubsReady && several);
    if (m_hubsReady)
        ApplyPageRules();
    else
        m_tab->EnableAll(0, 1);
    if (m_enableDue) {
        m_enableDue = false;
        SetTimer(kTimerEnable, 200);
    }
    if (m_rebuildDue || m_eventMissed) {
        // What happened to the hubs meanwhile: the tabs follow it now.
        m_rebuildDue = false;
        m_eventMissed = false;
        SetTimer(kTimerRebuild, 1000);
    }
}

void CMultiHubDlg::ShowProgress() {
    ui::UpdateRun::Sample sample;
    if (!m_run.Read(sample)) return;
    Host().SetPos(IDC_MH_PROGRESS, sample.progress < 0 ? 0 : sample.progress);
    Status(sample.text, sample.error ? Look::Failure : Look::Success);
    Host().RepaintControls({IDC_MH_PROGRESS, IDC_MH_STATUS});
}

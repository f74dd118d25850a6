// What the multi-hub dialog does between updates: the buttons and the tab,
// hub arrival and removal, the rebuild and driver-gone timers, the deferred
// version reads that let the pages go live, and the private messages.
#include "ui/CMultiHubDlg.h"

#include "settings/DebugLog.h"
#include "ui/CHubPage.h"
#include "ui/CHubTab.h"
#include "ui/win32/resource.h"

using namespace multihub;

void CMultiHubDlg::OnCommand(int id, int code) {
    if (code != ui::kBnClicked) return;
    switch (id) {
        case IDC_MH_DO_ISP: DoIsp(); break;
        case IDC_MH_SAME_SETTINGS: ToggleSameSettings(); break;
        case IDC_RESTORE_SUSPEND: m_restoreBeforeExit = GetCheck(IDC_RESTORE_SUSPEND) ? 1 : 0; break;
        default: break;
    }
}

void CMultiHubDlg::OnNotify(int id, int code) {
    if (id != IDC_MH_TAB || code != ui::kTcnSelChange) return;
    int index = Host().TabSelection(IDC_MH_TAB);
    SelectPage(index);
    Status(Format("Hub %d is selected.", index + 1), Look::Success);
}

void CMultiHubDlg::SelectPage(int index) {
    if (index < 0 || index >= m_tab->PageCount()) return;
    Host().TabSelect(IDC_MH_TAB, index);
    m_tab->Show(index);
}

// --- page rules ------------------------------------------------------------------------

void CMultiHubDlg::ApplyPageRules() {
    if (m_tab->IsPlaceholder()) {
        m_tab->EnableAll(0, 1);
        Enable(IDC_MH_TAB, true);
        return;
    }
    if (SameSettings()) {
        // Page 0's files serve every hub: only its file selection is live.
        SelectPage(0);
        m_tab->EnableAll(0, 1);
        Enable(IDC_MH_TAB, false);
        if (CHubPage* first = m_tab->Page(0)) first->EnableControls(1, 2);
        return;
    }
    m_tab->EnableAll(1, 1);
    Enable(IDC_MH_TAB, true);
}

void CMultiHubDlg::ToggleSameSettings() {
    if (m_ispRunning) return;
    ApplyPageRules();
}

// --- hub events ----------------------------------------------------------------------------

intptr_t CMultiHubDlg::OnDeviceChange(uint32_t event, int32_t deviceType) {
    if (event != ui::kDbtDeviceArrival && event != ui::kDbtDeviceRemoveComplete) return 1;
    if (deviceType == ui::kDbtDevtypVolume) {
        DebugLog("skip USB disk event.");
        return 1;
    }
    DebugLog(event == ui::kDbtDeviceArrival ? "Receive device_arrival event!\n"
                                            : "Receive device_remove_complete event!\n");
    if (m_ispRunning) {
        // The update owns the hubs; the event is acted on when it ends.
        DebugLog("Do ISP and into OnDeviceChange()!! skip event!!");
        m_eventMissed = true;
        return 1;
    }
    Status("Process hub creation...", Look::SuccessLarge);
    if (m_deviceChange) {
        HubEvent();
    } else {
        // The version reads still to come would miss this hub: remembered.
        Status("Start pre-processing...", Look::Notice);
        DebugLog("Into OnDeviceChange()!!");
        m_eventMissed = true;
    }
    return 1;
}

void CMultiHubDlg::HubEvent() {
    CHubIsp probe;
    probe.m_quiet = 1;
    int driver = probe.OpenDriver();
    probe.CloseDevice();
    if (driver)
        SetTimer(kTimerRebuild, 1000);
    else
        SetTimer(kTimerDriverGone, 200);
}

void CMultiHubDlg::OnTimer(int id) {
    switch (id) {
        case kTimerProgress: ShowProgress(); return;
        case kTimerRebuild:
        case kTimerDriverGone:
            if (m_ispRunning) {
                KillTimer(id);
                m_rebuildDue = true;
                return;
            }
            if (m_pageBusy > 0 || ModalDepth() > 0) {
                // A page's box, file dialog or editor is open (or one of the
                // dialog's own, over a loop through the pages): the pages
                // stay until it closes; the timer comes again.
                SetTimer(id, id == kTimerRebuild ? 1000 : 200);
                return;
            }
            if (id == kTimerRebuild)
                Rebuild();
            else
                DriverGone();
            return;
        case kTimerEnable:
            KillTimer(id);
            if (m_ispRunning) {
                m_enableDue = true;
                return;
            }
            EnableAfterVersions();
            return;
        default: return;
    }
}

void CMultiHubDlg::Rebuild() {
    m_deviceChange = 0;
    KillTimer(kTimerRebuild);
    Enable(IDC_MH_DO_ISP, false);
    m_tab->DeletePages();
    int result = m_tab->CreateTabs(m_imageCheck);
    DebugLog("after CreateTabs.\n");
    m_buildFailure = m_tab->NoHubText();
    m_hubsReady = result;
    m_tab->EnableAll(0, 1);
    bool several = !m_tab->IsPlaceholder() && m_tab->PageCount() >= 2;
    // The tick survives a rebuild only while it still means something.
    if (!several) SetCheck(IDC_MH_SAME_SETTINGS, 0);
    Enable(IDC_MH_SAME_SETTINGS, false);
    SetTimer(kTimerEnable, EnableDelay());
}

void CMultiHubDlg::DriverGone() {
    Enable(IDC_MH_DO_ISP, false);
    KillTimer(kTimerDriverGone);
    m_tab->DeletePages();
    m_tab->Placeholder();
    SetCheck(IDC_MH_SAME_SETTINGS, 0);
    Enable(IDC_MH_SAME_SETTINGS, false);
    Status("Create VX 3.0 hub ERROR!", Look::Failure);
}

void CMultiHubDlg::EnableAfterVersions() {
    DebugLog("Into TIMER_ENABLE_DC\n");
    Enable(IDC_MH_DO_ISP, false);
    bool several = !m_tab->IsPlaceholder() && m_tab->PageCount() >= 2;
    Enable(IDC_MH_SAME_SETTINGS, m_hubsReady && several);
    if (m_hubsReady) {
        bool all = true;
        for (int i = 0; i < m_tab->PageCount(); ++i) {
            CHubPage* page = m_tab->Page(i);
            if (!page->ReadXromVersion()) {
                MessageBox(Format("(Hub %d) Get firmware version failed!", i + 1), kQuillon,
                           ui::kMbSystemModal | ui::kMbIconError);
                all = false;
            }
        }
        if (all) {
            ApplyPageRules();
            Status(Format("(%d) VX 3.0 hub has been detected", m_tab->PageCount()), Look::Success);
        } else {
            m_tab->EnableAll(0, 1);
            Status("Get F/W ver failed!", Look::Failure);
        }
    } else {
        m_tab->EnableAll(0, 1);
        // A build that found no hub keeps saying so.
        Status(m_buildFailure.empty() ? "Create VX 3.0 hub ERROR!" : m_buildFailure, Look::Failure);
    }
    // Hub events are acted on from now; one that came during the reads (a
    // box of theirs may have been open) was remembered.
    m_deviceChange = 1;
    if (m_eventMissed) {
        // A hub came or went before the pages went live: the tabs follow it now.
        m_eventMissed = false;
        HubEvent();
    }
}

// --- private messages -------------------------------------------------------------------

intptr_t CMultiHubDlg::OnMessage(uint32_t msg, uintptr_t wParam, intptr_t) {
    switch (msg) {
        case kMsgDoIsp:
            // During an update Do ISP stays off whatever a page's load says.
            if (!m_ispRunning) Enable(IDC_MH_DO_ISP, wParam == 1);
            return 0;
        case kMsgProgress: Host().SetPos(IDC_MH_PROGRESS, static_cast<int>(wParam)); return 0;
        default: return 0;
    }
}

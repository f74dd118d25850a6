// CMultiHubDlg: the multi-hub dialog (template 138).  One tab per attached
// hub, each showing a hub page with its own image, configuration and store
// tools; one Do ISP updates every page's hub in tab order.  The dialog
// follows hub arrival and removal and rebuilds its tabs after each.
//
// Timers: 1 rebuilds the tabs after a hub event, 2 shows the placeholder
// when the driver is gone, 3 mirrors a running update, 4 reads every page's
// stored version and then lets the pages (and hub events) go live.
#pragma once

#include <memory>
#include <string>

#include "settings/CIniFile.h"
#include "ui/toolkit/dialog.h"

class CHubTab;

namespace multihub {

// Private messages of the dialog.
constexpr uint32_t kMsgDoIsp = 0x465;     // wParam 1 enables Do ISP, 0 disables it
constexpr uint32_t kMsgProgress = 0x466;  // wParam: the progress position

constexpr int kTimerRebuild = 1;
constexpr int kTimerDriverGone = 2;
constexpr int kTimerProgress = 3;
constexpr int kTimerEnable = 4;

// The looks of the status line.
enum class Look {
    Success,       // pale cyan on blue, bold 12 points
    SuccessLarge,  // the same colours in 18 points
    Failure,       // pale yellow on red, bold 18 points; stops the progress timer
    Notice,        // dark grey on amber, bold 18 points ("Start pre-processing...")
    ToolSuccess,   // light green on dark green, bold 18 points (store tools)
};

constexpr const char* kQuillon = "Quillon";

}  // namespace multihub

class CMultiHubDlg : public ui::Dialog {
public:
    CMultiHubDlg();
    ~CMultiHubDlg() override;

    void SetProgramFolder(const std::string& folder) { m_programFolder = folder; }

    // --- what the tab and the pages use ------------------------------------
    void Status(const std::string& text, multihub::Look look);
    CIniFile& Ini() { return m_ini; }
    ui::UpdateRun& Run() { return m_run; }
    bool IspRunning() const { return m_ispRunning; }
    // A page's handler that opens a modal loop (box, file dialog, editor)
    // holds the dialog's page-busy count for as long as it runs.
    void PageBusy(int delta) { m_pageBusy += delta; }
    int PageBusyCount() const { return m_pageBusy; }
    bool SameSettings() const;

    // --- what tests read -----------------------------------------------------
    CHubTab& Tab() { return *m_tab; }
    bool HubsReady() const { return m_hubsReady != 0; }
    bool PowerPlanChanged() const { return m_powerPlanChanged != 0; }
    bool DeviceChangeFlag() const { return m_deviceChange != 0; }

protected:
    bool OnInitDialog() override;
    void OnCommand(int id, int code) override;
    void OnNotify(int id, int code) override;
    void OnTimer(int id) override;
    void OnOK() override;
    void OnCancel() override;
    void OnClose() override;
    intptr_t OnDeviceChange(uint32_t event, int32_t deviceType) override;
    intptr_t OnMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam) override;
    void OnWorkerDone(int tag) override;
    void OnDestroy() override;

private:
    bool CheckOs();
    void StartUp();
    unsigned EnableDelay() const;
    // A hub came or went while the dialog follows events: timer 1 when the
    // driver still answers, timer 2 when it does not.
    void HubEvent();
    void Rebuild();
    void DriverGone();
    void EnableAfterVersions();
    // The page rules after a build, an update or a tick of 1150.
    void ApplyPageRules();
    void SelectPage(int index);
    void ToggleSameSettings();
    void DoIsp();
    void UpdateWorker(ui::WorkerLink& link);
    void AfterUpdate();
    void ShowProgress();
    void Exit();

    CIniFile m_ini;
    std::unique_ptr<CHubTab> m_tab;
    ui::UpdateRun m_run;
    std::string m_programFolder;

    int m_ispRunning = 0;
    int m_imageCheck = 1;
    int m_hubsReady = 0;
    int m_deviceChange = 0;
    int m_powerPlanChanged = 0;  // the start-up took the power plan way
    int m_powerPlanOff = 0;      // ... and switched it off: the end switches it on again
    int m_restoreBeforeExit = 0;
    int m_pageBusy = 0;
    bool m_initialised = false;  // the start-up checks passed
    bool m_startupFailed = false;
    // Hub events and timers that came while they could not act: they are
    // acted on when the update or the version reads end.
    bool m_eventMissed = false;
    bool m_rebuildDue = false;
    bool m_enableDue = false;
    bool m_sameRun = false;
    std::string m_buildFailure;  // why the last build made no pages, for the version-read timer to keep  // the running update takes page 0's files for every page
    // The outcome of the last update, for the dialog's thread to show.
    struct Outcome {
        bool failed = false;
        int written = 0;
        std::string text;
    } m_outcome;
};

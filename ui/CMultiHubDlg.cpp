// The multi-hub dialog itself: construction, the start-up checks and the
// first build, the status line and its looks, and every way out.  Hub
// events, timers and the tab live in CMultiHubDlg_events.cpp, Do ISP in
// CMultiHubDlg_update.cpp.
#include "ui/CMultiHubDlg.h"

#include <cstring>

#include "platform/ports.h"
#include "power/DriverSetup.h"
#include "power/PowerPlan.h"
#include "settings/DebugLog.h"
#include "ui/CHubPage.h"
#include "ui/CHubTab.h"
#include "ui/toolkit/device_events.h"
#include "ui/win32/resource.h"

using multihub::Look;
using namespace multihub;
using tessaro::Sys;

namespace {

constexpr uint32_t kErrorBox = ui::kMbSystemModal | ui::kMbIconError;
constexpr uint32_t kInfoBox = ui::kMbSystemModal | ui::kMbIconInformation;

}  // namespace

CMultiHubDlg::CMultiHubDlg() : Dialog(IDD_MULTIHUB_DIALOG), m_tab(std::make_unique<CHubTab>(*this)) {
    m_programFolder = CIniFile::ProgramFolder();
}

CMultiHubDlg::~CMultiHubDlg() = default;

void CMultiHubDlg::Status(const std::string& text, Look look) {
    if (!IsOpen()) return;
    ui::StatusLook l;
    switch (look) {
        case Look::Success: l = {0xFFFF80, 0xFF8000, true, "Microsoft Sans Serif", 12}; break;
        case Look::SuccessLarge: l = {0xFFFF80, 0xFF8000, true, "Microsoft Sans Serif", 18}; break;
        case Look::Failure: l = {0x60FFFF, 0x0000FF, true, "Microsoft Sans Serif", 18}; break;
        case Look::Notice: l = {0x363636, 0x0EC9FF, true, "Microsoft Sans Serif", 18}; break;
        case Look::ToolSuccess: l = {0x37FF9B, 0x008000, true, "Microsoft Sans Serif", 18}; break;
    }
    ShowStatus(IDC_MH_STATUS, text, l);
    // A failure ends the mirror of a running update: the text stays.
    if (look == Look::Failure) KillTimer(kTimerProgress);
}

bool CMultiHubDlg::SameSettings() const { return GetCheck(IDC_MH_SAME_SETTINGS) != 0; }

bool CMultiHubDlg::CheckOs() {
    tessaro::OsVersionInfoEx info;
    std::memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    std::string text;
    uint32_t style = kErrorBox;
    bool hint = false;
    if (!Sys().os->GetVersionEx(&info)) {
        text = "Retrieve OS information failed!";
    } else if (info.dwMajorVersion < 5 || (info.dwMajorVersion == 5 && info.dwMinorVersion == 0)) {
        text = "Quillon does not support Windows 2000 or earlier OS version.";
        style = kInfoBox;
    } else if (info.dwMajorVersion == 6 && info.dwMinorVersion >= 2) {
        return true;
    } else if (info.wServicePackMajor == 0) {
        text = "Please install Windows latest Service Pack before running this program.";
    } else if (info.dwMajorVersion == 5 && info.dwMinorVersion == 1) {
        if (info.wServicePackMajor < 3) {
            text = "Please install Windows XP Service Pack 3 before running this program.";
        } else {
            hint = true;
            text = "Please attach a device to any of the hub's downstream port if the hub is connected to EHCI/OCHI host.";
            style = kInfoBox;
        }
    } else {
        return true;
    }
    MessageBox(text, kQuillon, style);
    return hint;
}

bool CMultiHubDlg::OnInitDialog() {
    Host().SetIcon(IDR_MAINFRAME);
    Host().AttachStatusText(IDC_MH_STATUS);
    GuardWhileWorking({IDC_MH_DO_ISP, IDC_MH_SAME_SETTINGS, IDC_RESTORE_SUSPEND});
    std::string iniPath;
    if (!m_ini.FindIniFile(iniPath)) {
        MessageBox("Cannot find INI file for ISP tool! Check if it is placed with the tool.", kQuillon, kErrorBox);
        EndDialog(ui::kIdCancel);
        return true;
    }
    m_ini.SetFileName(iniPath);
    if (!CheckOs()) {
        EndDialog(ui::kIdCancel);
        return true;
    }
    std::string failure;
    if (!RequireFilterDriverVersion(failure)) {
        MessageBox(failure, kQuillon, kErrorBox);
        EndDialog(ui::kIdCancel);
        return true;
    }
    m_initialised = true;
    m_imageCheck = 1;
    SetCheck(IDC_RESTORE_SUSPEND, 0);
    m_restoreBeforeExit = 0;
    Enable(IDC_MH_DO_ISP, false);
    Enable(IDC_MH_SAME_SETTINGS, false);
    StartUp();
    return true;
}

unsigned CMultiHubDlg::EnableDelay() const {
    if (m_powerPlanChanged) return 200;
    int pages = m_tab->PageCount();
    return 1000u * static_cast<unsigned>(pages > 0 ? pages : 1);
}

void CMultiHubDlg::StartUp() {
    Host().RegisterDeviceNotification(ui::kUsbHubInterface);
    bool failed = false;
    bool built = false;
    if (CurrentSuspendMethod() == SuspendMethod::PowerPlan) {
        Status("Start pre-processing...", Look::Success);
        m_powerPlanChanged = 1;
        if (!ChangePowerPlanUsbSelectiveSuspend(0, 1)) {
            MessageBox("Selective suspend deactivation failed!", kQuillon, kErrorBox);
            Status("Selective suspend deactivation failed!", Look::Failure);
            failed = true;
        } else {
            m_powerPlanOff = 1;
            if (!m_tab->Isp().OpenDevice()) failed = true;
            Sys().clock->Sleep(1500);
        }
        if (failed) m_tab->Placeholder();
    }
    if (!failed) {
        built = m_tab->CreateTabs(m_imageCheck) != 0;
        m_buildFailure = m_tab->NoHubText();
        bool typed = built;
        for (int i = 0; built && i < m_tab->PageCount(); ++i)
            if (m_tab->Page(i)->HubType() == CHIP_ID_UNKNOWN) typed = false;
        if (typed) Status(Format("%d HUB(s) has been detected", m_tab->PageCount()), Look::Success);
        failed = !typed;
    }
    // Nothing is live before the stored versions are read (timer 4).
    m_tab->EnableAll(0, 1);
    Enable(IDC_MH_SAME_SETTINGS, !m_tab->IsPlaceholder() && m_tab->PageCount() >= 2);
    Host().SetRange(IDC_MH_PROGRESS, 0, 100);
    Host().SetStep(IDC_MH_PROGRESS, 1);
    m_run.Reset();
    Status("Start pre-processing...", Look::Notice);
    SetTimer(kTimerEnable, EnableDelay());
    m_hubsReady = failed ? 0 : 1;
    m_startupFailed = failed;
}

// --- ending ------------------------------------------------------------------------

void CMultiHubDlg::Exit() {
    if (m_ispRunning || Working()) return;
    Status("Data processing before exit...", Look::Success);
    m_tab->ExitProcessing(m_restoreBeforeExit != 0);
    m_hubsReady = 0;
    EndDialog(ui::kIdOk);
}

void CMultiHubDlg::OnOK() { Exit(); }

void CMultiHubDlg::OnClose() { Exit(); }

void CMultiHubDlg::OnCancel() {
    if (m_ispRunning || Working()) return;
    EndDialog(ui::kIdCancel);
}

void CMultiHubDlg::OnDestroy() {
    for (int id : {kTimerRebuild, kTimerDriverGone, kTimerProgress, kTimerEnable}) KillTimer(id);
    m_tab->DeletePages();
    // Only what this dialog switched off is switched on again, and then
    // whatever the restore box says.
    if (m_powerPlanOff && !ChangePowerPlanUsbSelectiveSuspend(1, 1))
        DebugLog("Cannot start USB selective-suspend!!\n");
}

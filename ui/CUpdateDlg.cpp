// The update-only dialog itself: construction, the start-up checks, the
// buttons, the timers and the way out.  The file search, the driver setup
// workers and the update run live in CUpdateDlg_*.cpp.
#include "ui/CUpdateDlg.h"

#include <cstring>

#include "platform/ports.h"
#include "platform/winconst.h"
#include "settings/DebugLog.h"
#include "ui/CUpdateDlg_internal.h"
#include "ui/update_ids.h"
#include "ui/win32/resource.h"

using namespace updatedlg;
using tessaro::Sys;

// --- where texts go ---------------------------------------------------------------

void CUpdateDlg::Out::Text(int id, const std::string& text) {
    if (link) {
        link->SetText(id, text);
    } else {
        dlg.SetText(id, text);
    }
}

void CUpdateDlg::Out::Status(const std::string& text) { Text(IDC_UPD_STATUS, text); }

int CUpdateDlg::Out::Box(const std::string& text, const std::string& caption, uint32_t style) {
    return link ? link->MessageBox(text, caption, style) : dlg.MessageBox(text, caption, style);
}

void CUpdateDlg::Out::Enable(int id, bool enable) {
    if (link) {
        link->Enable(id, enable);
    } else {
        dlg.Enable(id, enable);
    }
}

void CUpdateDlg::Out::Pos(int pos) {
    if (link) {
        link->SetPos(IDC_UPD_PROGRESS, pos);
    } else if (dlg.IsOpen()) {
        dlg.Host().SetPos(IDC_UPD_PROGRESS, pos);
    }
}

// --- construction -------------------------------------------------------------------

CUpdateDlg::CUpdateDlg() : Dialog(IDD_UPDATE_DIALOG) {
    for (int& t : m_hubType) t = CHIP_ID_UNKNOWN;
    m_programFolder = CIniFile::ProgramFolder();
}

CUpdateDlg::~CUpdateDlg() = default;

void CUpdateDlg::EnableActions(bool enable) {
    Enable(IDC_UPD_UPDATE, enable);
    Enable(IDC_UPD_UNINSTALL, enable);
    if (IsOpen()) Host().EnableSystemMenuItem(ui::kScClose, enable);
}

bool CUpdateDlg::CheckOs(const tessaro::OsVersionInfoEx& info) {
    const uint32_t major = info.dwMajorVersion, minor = info.dwMinorVersion;
    if (major < 5 || (major == 5 && minor == 0)) {
        MessageBox("Quillon does not support Windows 2000 or earlier OS version.", kQuillon, kInfoBox);
        return false;
    }
    if (major == 6 && minor > 1) return true;
    if (info.wServicePackMajor == 0) {
        MessageBox("Please install Windows Service Pack before running this program.", kCaption, kErrorBox);
        return false;
    }
    if (!(major == 5 && minor == 1)) return true;
    if (info.wServicePackMajor >= 3) {
        MessageBox(
            "Please attach a device to any of the hub's downstream port if the hub is connected to EHCI/OCHI host.",
            kCaption, kInfoBox);
        return true;
    }
    MessageBox("Please install Windows Service Pack 3 before running this program.", kCaption, kErrorBox);
    return false;
}

bool CUpdateDlg::OnInitDialog() {
    Host().SetIcon(IDR_MAINFRAME);
    if (!tessaro::GetEnv("TESSARO_BENCH").empty()) Host().SetCaption(Host().Caption() + " [bench]");
    GuardWhileWorking({IDC_UPD_UPDATE, IDC_UPD_UNINSTALL, IDC_UPD_AUTO_UNINSTALL});

    std::string iniPath;
    if (!m_ini.FindIniFile(iniPath)) {
        MessageBox("Cannot find INI file! Check if it is placed with the tool.\n\nExit program", kCaption, kErrorBox);
        EndDialog(ui::kIdCancel);
        return true;
    }
    m_ini.SetFileName(iniPath);
    m_mode = static_cast<int>(CIniFile::ToInt(m_ini.GetString("EUserMode", "VX7100")));
    m_folderMode = m_mode == 2;

    tessaro::OsVersionInfoEx os;
    std::memset(&os, 0, sizeof os);
    os.dwOSVersionInfoSize = sizeof os;
    if (!Sys().os->GetVersionEx(&os)) {
        MessageBox("Get Windows & Service Pack information ERROR!", kQuillon, kErrorBox);
        EndDialog(ui::kIdCancel);
        return true;
    }

    for (int& t : m_hubType) t = CHIP_ID_UNKNOWN;
    m_imageClass = -1;
    m_updateDone = false;
    m_result = 0;
    m_suspend = SuspendBookkeeping();
    SetCheck(IDC_UPD_AUTO_UNINSTALL, 1);
    m_autoUninstall = m_folderMode ? 0 : GetCheck(IDC_UPD_AUTO_UNINSTALL);
    m_block.assign(kBlockBuffer, 0);
    m_run.Reset();
    m_run.Finish();

    if (!m_folderMode && !LocateUpdateFiles(Out{*this, nullptr})) {
        EndDialog(ui::kIdCancel);
        return true;
    }
    Host().SetRange(IDC_UPD_PROGRESS, 0, 100);
    Host().SetStep(IDC_UPD_PROGRESS, 1);

    Sink sink(*this, nullptr);
    if (!FindHubHardwareId(sink)) {
        MessageBox("Device is not found!", kCaption, kErrorBox);
        SetText(IDC_UPD_STATUS, "Device is not found!");
        Enable(IDC_UPD_UPDATE, false);
        EndDialog(ui::kIdCancel);
        return true;
    }
    SetText(IDC_UPD_STATUS, "Ready for FW update");
    Show(IDC_UPD_NOTES, false);
    if (!CheckOs(os)) {
        EndDialog(ui::kIdCancel);
        return true;
    }
    return true;
}

// --- buttons ----------------------------------------------------------------------------

void CUpdateDlg::OnCommand(int id, int code) {
    (void)code;
    switch (id) {
        case IDC_UPD_UPDATE: UpdateClicked(); break;
        case IDC_UPD_UNINSTALL: UninstallClicked(); break;
        case IDC_UPD_AUTO_UNINSTALL: m_autoUninstall = GetCheck(IDC_UPD_AUTO_UNINSTALL); break;
        default: break;
    }
}

intptr_t CUpdateDlg::OnMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam) {
    (void)wParam;
    (void)lParam;
    if (msg != kStartUpdateMessage) return 0;
    // The setup worker that sent it is still ending: the update follows it
    // under the same guard.
    QueueWorker([this](ui::WorkerLink& link) { RunUpdate(link); }, kUpdateWorker);
    return 1;
}

void CUpdateDlg::OnWorkerDone(int tag) {
    (void)tag;
    // The next worker of a chain starts right after this; until the last one
    // has ended the buttons and the close box stay off.
    if (WorkerQueued()) return;
    EnableActions(true);
    Host().EnableWindow(true);
    Host().SetFocus(IDC_UPD_UPDATE);
}

void CUpdateDlg::OnTimer(int id) {
    if (id == kTimerProgress) {
        ui::UpdateRun::Sample sample;
        if (!m_run.Read(sample)) return;
        Host().SetPos(IDC_UPD_PROGRESS, sample.progress < 0 ? 0 : sample.progress);
        SetText(IDC_UPD_STATUS, sample.text);
        Host().RepaintControls({IDC_UPD_PROGRESS, IDC_UPD_STATUS});
        return;
    }
    if (id != kTimerSetup) return;
    if (!IsEnabled(IDC_UPD_UPDATE)) {
        const int pos = Host().Pos(IDC_UPD_PROGRESS);
        Host().SetPos(IDC_UPD_PROGRESS, pos >= 100 ? 0 : pos + 1);
        return;
    }
    Host().SetPos(IDC_UPD_PROGRESS, 100);
    KillTimer(kTimerSetup);
    // The version is read by the dialog's thread only when no worker could
    // be using the hub; after an update the run reads it itself.
    if (!Working()) ReadHubVersion(Out{*this, nullptr});
}

void CUpdateDlg::OnDestroy() {
    m_image.clear();
    m_block.clear();
    // Only the power plan is switched back: a hub restarted now, while
    // Windows may be restarting, could stay disabled.
    if (m_suspend.Changed() && m_suspend.powerPlanChanged) {
        SuspendBookkeeping planOnly;
        planOnly.method = m_suspend.method;
        planOnly.powerPlanChanged = m_suspend.powerPlanChanged;
        RestoreSelectiveSuspend(m_isp, planOnly);
    }
    m_suspend = SuspendBookkeeping();
}

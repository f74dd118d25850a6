// The update-only dialog's driver steps: "&Update FW" with the driver check
// and the install worker, "Uninstall Driver" and the removal worker.  The
// check, the setup run and the restart are the driver code's own (the dialog
// variants of power/DriverSetup); the dialog only hands them its sink.
#include "ui/CUpdateDlg.h"
#include "ui/CUpdateDlg_internal.h"

using namespace updatedlg;

namespace {

constexpr unsigned kInstallTickMs = 500;
constexpr unsigned kUninstallTickMs = 300;

}  // namespace

void CUpdateDlg::UpdateClicked() {
    EnableActions(false);
    if (!m_folderMode) {
        DriverSetupState state{m_installedVersion, m_setupFile, m_direction, m_driverReady, m_programFolder};
        Sink sink(*this, nullptr);
        const int check = CheckDriverVersion(state, sink);
        // Without a package the check has closed the dialog: nothing more.
        if (check == kDriverPackageMissing || sink.closed) return;
        if (check == kDriverNotInstalled) {
            StartSetup(kSetupInstall, kInstallTickMs, kSetupWorker, false);
            return;
        }
    }
    // Sent, not posted: the update worker is running before this handler
    // returns, so no Esc or close can come in between.
    Host().SendMessage(kStartUpdateMessage, 0, 0);
}

void CUpdateDlg::UninstallClicked() {
    if (MessageBox("Do you want to uninstall driver?", kCaption,
                   ui::kMbYesNo | ui::kMbIconQuestion | ui::kMbSystemModal) != ui::kIdYes)
        return;
    EnableActions(false);
    if (m_setupFile.empty()) {
        // The package was never looked for (folder mode, or no update yet).
        DriverSetupState state{m_installedVersion, m_setupFile, m_direction, m_driverReady, m_programFolder};
        Sink sink(*this, nullptr);
        if (CheckDriverVersion(state, sink) == kDriverPackageMissing || sink.closed) return;
    }
    StartSetup(kSetupUninstall, kUninstallTickMs, kUninstallWorker, false);
}

void CUpdateDlg::StartSetup(int direction, unsigned timerMs, int tag, bool queue) {
    Host().SetPos(IDC_UPD_PROGRESS, 0);
    SetTimer(kTimerSetup, timerMs);
    auto work = [this, direction](ui::WorkerLink& link) { SetupWorker(link, direction); };
    if (queue) {
        QueueWorker(work, tag);
    } else {
        StartWorker(work, tag);
    }
}

void CUpdateDlg::SetupWorker(ui::WorkerLink& link, int direction) {
    m_direction = direction;
    DriverSetupState state{m_installedVersion, m_setupFile, m_direction, m_driverReady, m_programFolder};
    Sink sink(*this, &link);
    RunDriverSetup(state, sink);
}

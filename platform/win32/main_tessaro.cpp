// Entry of Tessaro.exe (GUI subsystem): the dialogs and the console mode.
#include <windows.h>

#include "ui/win32/Win32Dialog.h"  // first: it keeps the toolkit's names free of the A/W macros

#include "app/CTessaroApp.h"
#include "app/frontends.h"
#include "platform/native.h"
#include "ui/CIspDlg.h"
#include "ui/CMultiHubDlg.h"
#include "ui/CPhyDlg.h"
#include "ui/CUpdateDlg.h"

namespace {

// The main dialog as the application's modal main window.
void RunMainDialog(CTessaroApp& app) {
    CIspDlg dlg;
    dlg.SetProgramFolder(app.m_programFolder);
    ui::DoModal(dlg);
}

// The update-only dialog for end users (EUserMode 1 or more).
void RunUpdateDialog(CTessaroApp& app) {
    CUpdateDlg dlg;
    dlg.SetProgramFolder(app.m_programFolder);
    ui::DoModal(dlg);
}

// The PHY settings dialog as the application's main window (PhyAccess 1).
void RunPhyDialog(CTessaroApp& app) {
    CPhyDlg dlg;
    dlg.SetProgramFolder(app.m_programFolder);
    ui::DoModal(dlg);
}

// The multi-hub dialog, the same way.
void RunMultiHubDialog(CTessaroApp& app) {
    CMultiHubDlg dlg;
    dlg.SetProgramFolder(app.m_programFolder);
    ui::DoModal(dlg);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR arguments, int) {
    // First of all: the common controls, the shell and everything else load
    // DLLs of their own, and none of them may come from the program folder.
    tessaro::HardenProcess();
    ui::win32::Install(instance);
    frontends::Registered().mainDialog = RunMainDialog;
    frontends::Registered().updateDialog = RunUpdateDialog;
    frontends::Registered().phyDialog = RunPhyDialog;
    frontends::Registered().multiHubDialog = RunMultiHubDialog;
    return TessaroMain(arguments ? arguments : "");
}

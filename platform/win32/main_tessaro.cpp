// Entry of Tessaro.exe (GUI subsystem): the dialogs and the console mode.
#include <windows.h>

#include "ui/win32/Win32Dialog.h"  // first: it keeps the toolkit's names free of the A/W macros

#include "app/CTessaroApp.h"
#include "app/frontends.h"
#include "platform/native.h"
#include "ui/CIspDlg.h"
#include "ui/CMultiHubDlg.h"

namespace {

// The main dialog as the application's modal main window.
void RunMainDialog(CTessaroApp& app) {
    CIspDlg dlg;
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
    frontends::Registered().multiHubDialog = RunMultiHubDialog;
    return TessaroMain(arguments ? arguments : "");
}

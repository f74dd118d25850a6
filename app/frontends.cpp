#include "app/frontends.h"

#include "app/CTessaroApp.h"
#include "app/console.h"
#include "platform/ports.h"
#include "platform/winconst.h"

namespace frontends {

namespace {

void Unavailable(const char* mode) {
#if defined(_WIN32)
    std::string text = std::string("The ") + mode + " is not available in this build of the tool yet.";
#else
    std::string text = std::string("The ") + mode +
                       " is a Windows dialog: run Tessaro.exe, the Windows build of the tool, for it.";
#endif
    tessaro::Sys().box->Show(text, CTessaroApp::Title(), tessaro::win::kMbOk | tessaro::win::kMbIconError);
}

}  // namespace

Entries& Registered() {
    static Entries entries = [] {
        Entries e;
        e.console = RunConsoleMode;
        return e;
    }();
    return entries;
}

void RunUpdateDialog(CTessaroApp& app) {
    if (Registered().updateDialog) return Registered().updateDialog(app);
    Unavailable("update-only dialog");
}

void RunConsole(CTessaroApp& app) {
    if (Registered().console) return Registered().console(app);
    tessaro::Sys().console->AttachParent();
    tessaro::Sys().console->Write("The console update mode is not available in this build of the tool yet.\n");
}

void RunPhyDialog(CTessaroApp& app) {
    if (Registered().phyDialog) return Registered().phyDialog(app);
    Unavailable("PHY settings dialog");
}

void RunMultiHubDialog(CTessaroApp& app) {
    if (Registered().multiHubDialog) return Registered().multiHubDialog(app);
    Unavailable("multi-hub dialog");
}

void RunMainDialog(CTessaroApp& app) {
    if (Registered().mainDialog) return Registered().mainDialog(app);
    Unavailable("main dialog");
}

}  // namespace frontends

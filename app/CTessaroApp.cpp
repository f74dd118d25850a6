#include "app/CTessaroApp.h"

#include <cstring>

#include "app/frontends.h"
#include "bench/activation.h"
#include "ui/toolkit/device_events.h"
#include "platform/winconst.h"
#include "settings/CIniFile.h"

using tessaro::Sys;

CTessaroApp& TheApp() {
    static CTessaroApp app;
    return app;
}

bool CTessaroApp::GetOsVersion(tessaro::OsVersionInfoEx& info) {
    std::memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = sizeof(tessaro::OsVersionInfoEx);
    return Sys().os->GetVersionEx(&info);
}

std::string CTessaroApp::Title() {
    std::string module = Sys().files->ModuleFileName();
    size_t slash = module.find_last_of("\\/");
    std::string name = slash == std::string::npos ? module : module.substr(slash + 1);
    size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

bool CTessaroApp::InitInstance(const std::string& commandLine) {
    m_commandLine = commandLine;
    m_programFolder = CIniFile::ProgramFolder();

    CIniFile ini;
    std::string path;
    if (!ini.FindIniFile(path)) {
        Sys().box->Show("Cannot find INI file! Check if it is placed with the tool. Exit program!", Title(),
                        tessaro::win::kMbOk);
        return false;
    }
    ini.SetFileName(path);
    if (CIniFile::ToInt(ini.GetString("EUserMode", "VX7100")) >= 1) {
        frontends::RunUpdateDialog(*this);
    } else if (CIniFile::ToInt(ini.GetString("ConsoleMode", "MPOption")) >= 1) {
        frontends::RunConsole(*this);
    } else if (CIniFile::ToInt(ini.GetString("PhyAccess", "VX7100")) == 1) {
        frontends::RunPhyDialog(*this);
    } else if (CIniFile::ToInt(ini.GetString("MultiMode", "VX7100")) == 1) {
        frontends::RunMultiHubDialog(*this);
    } else {
        frontends::RunMainDialog(*this);
    }
    return false;
}

int TessaroMain(const std::string& commandLine) {
    bench::Activation bench = bench::InstallFromEnvironment();
    if (bench.Failed()) return 1;
    // A hub plugged into or pulled from the bench is announced to the
    // windows that registered for hubs, as Windows announces a real one.
    if (bench.GetPc())
        bench.GetPc()->OnHubChange([](const std::string&, bool arrival) {
            ui::RaiseDeviceEvent(ui::kUsbHubInterface, arrival ? ui::kDbtDeviceArrival : ui::kDbtDeviceRemoveComplete);
        });
    TheApp().InitInstance(commandLine);
    return 0;
}

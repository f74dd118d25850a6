// The console update mode: up to eight hubs updated without a window, for
// production lines and scripted field updates.  A main dialog object that is
// never shown is the update engine; the outcome goes to the result log.
#include "app/console.h"

#include <cstdarg>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "app/CTessaroApp.h"
#include "app/frontends.h"
#include "platform/winconst.h"
#include "power/DriverSetup.h"
#include "settings/CIniFile.h"
#include "settings/DebugLog.h"
#include "ui/CIspDlg.h"

using tessaro::Sys;

namespace {

// The most hubs the reset loop walks, whatever HubNum says.
constexpr int kMaxResetHubs = 32;

class Console {
public:
    explicit Console(CTessaroApp& app) : m_app(app) {}
    void Run();

private:
    // A message followed by a line end; Put writes without one.
    void Line(const std::string& text) { Sys().console->Write(text + "\n"); }
    void Put(const std::string& text) { Sys().console->Write(text); }
    // "Wait": one character without skipping white space; a bare ENTER ends it.
    void Wait() { Sys().console->ReadChar(false); }
    void PressEnter() {
        Line("press ENTER key to exit program.");
        Wait();
    }
    bool Has(const char* sw) const { return m_app.m_commandLine.find(sw) != std::string::npos; }
    // The engine's reason: its message text, or the session's when an update
    // left the text empty.
    std::string Reason() {
        std::string text = m_dlg.MessageText();
        return text.empty() ? m_dlg.Isp().m_lasterror : text;
    }
    bool OsCheck();
    bool UpdateHubs();
    void Closing();
    // Enables again every hub this run disabled and could not bring back,
    // with one printed line per hub.
    void EnableLeftDisabledHubs() {
        std::vector<std::string> report;
        m_dlg.Isp().EnableLeftDisabled(&report);
        for (const std::string& line : report) Line(line);
    }

    CTessaroApp& m_app;
    CIspDlg m_dlg;
    int m_variant = 1;
    long m_hubNum = 0;
    bool m_earlyExit = false;
};

bool Console::OsCheck() {
    tessaro::OsVersionInfoEx info;
    if (!CTessaroApp::GetOsVersion(info)) {
        Line("Get Windows & service pack information ERROR!!");
        WriteResultLog(Fail);
        return false;
    }
    uint32_t major = info.dwMajorVersion, minor = info.dwMinorVersion;
    const char* refusal = nullptr;
    if (major < 5 || (major == 5 && minor == 0)) {
        refusal = "Quillon does not support Windows 2000 or earlier OS version.";
    } else if (major == 6 && minor == 2) {
        return true;
    } else if (info.wServicePackMajor == 0) {
        refusal = "Please install Windows Service Pack before running this program.";
    } else if (major == 5 && minor == 1) {
        if (info.wServicePackMajor < 3) {
            refusal = "Please install Windows XP Service Pack 3 before running this program.";
        } else {
            Put("Please attach a device to any of the hub's downstream port if the hub is connected to EHCI/OCHI host.");
        }
    }
    if (refusal) {
        Put(refusal);
        WriteResultLog(Fail);
        return false;
    }
    return true;
}

void Console::Run() {
    CIniFile ini;
    std::string path;
    ini.FindIniFile(path);
    ini.SetFileName(path);
    m_variant = static_cast<int>(CIniFile::ToInt(ini.GetString("ConsoleMode", "MPOption")));
    if (m_variant < 1) m_variant = 1;

    // 1. The console.
    if (m_variant == 1) {
        Sys().console->AttachParent();
    } else {
        Sys().console->Open();
    }
    // 2. The run's settings; the engine works in the program folder.
    m_hubNum = CIniFile::ToInt(ini.GetString("HubNum", "MPOption"));
    m_dlg.SetProgramFolder(m_app.m_programFolder);
    m_dlg.SetConsole(1);
    m_dlg.Isp().m_quiet = 1;
    const bool listing = Has("-f") || Has("-i");
    // An update run starts as a failure: a run that is killed or hangs never
    // leaves the previous unit's "SUCCESS" behind.
    if (!listing) WriteResultLog(Fail);

    bool ok = OsCheck();
    // 4. The self-contained variants bring their driver along.
    if (ok && m_variant >= 2) {
        if (!m_dlg.FindUpdateFiles()) {
            Line(m_dlg.MessageText());
            WriteResultLog(Fail);
            ok = false;
        }
        DriverSetupState setup{m_app.m_driverVersion, m_app.m_setupFile, m_app.m_setupDirection,
                               m_app.m_driverReady, m_app.m_programFolder};
        std::string vid, pid, revision;
        if (ok && !FindHubHardwareId(vid, pid, revision)) {
            Line("");
            WriteResultLog(Fail);
            ok = false;
        }
        if (ok && Has("-f")) {
            Line("(Hub 1) firmware: " + revision);
            m_earlyExit = true;
        } else if (ok && Has("-i")) {
            Line("(Hub 1) firmware: " + revision + ", VID: " + vid + ", PID: " + pid);
            m_earlyExit = true;
        }
        if (ok && !m_earlyExit) {
            int check = CheckDriverVersion(setup);
            if (check == kDriverPackageMissing) {
                WriteResultLog(Fail);
                ok = false;
            } else if (check == kDriverNotInstalled) {
                m_app.m_setupDirection = kSetupInstall;
                RunDriverSetup(setup);
                if (!m_app.m_driverReady) {
                    ok = false;
                } else {
                    Sys().clock->Sleep(1000);
                }
            } else {
                m_app.m_driverReady = 1;
            }
        }
    }
    if (m_earlyExit) {
        EnableLeftDisabledHubs();
        PressEnter();
        m_dlg.RestoreSelectiveSuspend();
        EnableLeftDisabledHubs();
        return;
    }
    // 5. The number of hubs.
    if (ok && (m_hubNum < 1 || m_hubNum > 8)) {
        Line("\nIncorrect Hub number! Please check ini file!");
        ok = false;
    }
    // 6. The hubs themselves.  From their identification to the end of the
    // updates, every hub number names the hub identified under it: a hub
    // that takes another's place meanwhile is refused, never written.
    std::optional<CHubIsp::OperationScope> identified;
    unsigned found = 0;
    if (ok) {
        identified.emplace(m_dlg.Isp());
        Line("");
        if (!m_dlg.ConsoleHubCount(&found)) {
            Line("ERROR!! " + m_dlg.MessageText());
            WriteResultLog(Fail);
            ok = false;
        } else if (found < static_cast<unsigned>(m_hubNum)) {
            Line(Format("ERROR!! hub number (%i) of detected is less then (%i)", static_cast<int>(found),
                        static_cast<int>(m_hubNum)));
            WriteResultLog(Fail);
            ok = false;
        }
    }
    // 7. Listing or updating.
    if (ok) {
        unsigned listed = found < static_cast<unsigned>(kMaxHubs) ? found : kMaxHubs;
        if (Has("-f")) {
            for (unsigned i = 0; i < listed; ++i) {
                uint16_t version = 0;
                if (!m_dlg.ConsoleFirmwareVersion(static_cast<int>(i), &version)) {
                    Line(Format("(Hub %d) read firmware version ERROR!!", static_cast<int>(i) + 1));
                    break;
                }
                Line(Format("Hub %d firmware: %04X", static_cast<int>(i) + 1, version));
            }
        } else if (Has("-i")) {
            for (unsigned i = 0; i < listed; ++i) {
                HubRecord record{};
                if (!m_dlg.ConsoleHubInfo(static_cast<int>(i), &record)) {
                    Line(Format("(Hub %d) get hub information ERROR!!", static_cast<int>(i) + 1));
                    break;
                }
                uint16_t version = 0;
                if (!m_dlg.ConsoleFirmwareVersion(static_cast<int>(i), &version)) {
                    Line(Format("(Hub %d) read firmware version ERROR!!", static_cast<int>(i) + 1));
                    break;
                }
                Line(Format("(Hub %d) firmware: %04X, VID: %04X, PID: %04X", static_cast<int>(i) + 1, version,
                            record.idVendor, record.idProduct));
            }
        } else {
            UpdateHubs();
        }
    }
    identified.reset();
    Closing();
}

bool Console::UpdateHubs() {
    CIniFile ini;
    std::string path;
    ini.FindIniFile(path);
    ini.SetFileName(path);
    for (int n = 1; n <= m_hubNum; ++n) {
        // Each hub starts as a failure: a run killed while it works on hub n
        // never leaves the SUCCESS of hub n-1 behind.
        WriteResultLog(Fail);
        std::string section = Format("%s%i", "Hub", n);
        auto fail = [&](const std::string& text) {
            Line(text);
            WriteResultLog(Fail);
            return false;
        };
        if (!ini.SectionExists(section)) return fail("Section [" + section + "]cannot be found! Please check ini file.");
        // The hub's own files are checked against the hub's own type, and a
        // configuration of an earlier hub never reaches this one.
        m_dlg.SetMatchHub(n - 1);
        m_dlg.DropConfiguration();
        std::string bin = ini.GetString("BinFile", section);
        std::string binExt = bin.size() >= 4 ? bin.substr(bin.size() - 4) : std::string();
        if (binExt != ".bin" && binExt != ".sum")
            return fail("[" + section + "] parameter " + "BinFile" + " ERROR! please check ini file.");
        Line("Preparing for FW file: " + bin);
        std::string eep = ini.GetString("EepFile", section);
        bool useEep = false;
        if (binExt == ".sum") {
            Line("prepare for EEP file: skip EEP file.");
        } else if (eep.empty()) {
            Line("Preparing for EEP file: no EEP file.");
        } else {
            std::string eepExt = eep.size() >= 4 ? eep.substr(eep.size() - 4) : std::string();
            if (eepExt != ".eep") return fail("[" + section + "] parameter " + "EepFile" + " ERROR! please check ini file.");
            Line("Preparing for EEP file: " + eep);
            useEep = true;
        }
        std::string binPath = m_app.m_programFolder + "\\" + bin;
        if (!Sys().files->Exists(binPath)) return fail("Bin/Sum file search ERROR!! " + binPath);
        if (!m_dlg.LoadFirmwareFile(binPath, bin)) return fail(Reason());
        if (useEep) {
            std::string eepPath = m_app.m_programFolder + "\\" + eep;
            if (!Sys().files->Exists(eepPath)) return fail("Eep file search ERROR!! " + eepPath);
            if (!m_dlg.LoadEepFile(eepPath, eep)) return fail(Reason());
        }
        Put(Format("Updating firmware on hub %d.....", n));
        if (m_dlg.UpdateHub(n - 1)) {
            Line("done!\n");
            WriteResultLog(Success);
        } else {
            return fail(Reason());
        }
    }
    return true;
}

void Console::Closing() {
    // No hub stays disabled past the run, whatever step left it so.
    EnableLeftDisabledHubs();
    // 8. Hub resets and the driver's removal.
    if (m_variant >= 2) {
        int hubs = m_hubNum > kMaxResetHubs ? kMaxResetHubs : static_cast<int>(m_hubNum);
        for (int n = hubs; n >= 1; --n) {
            Put(Format("Resetting hub %d.....", n));
            m_dlg.Isp().SoftwareReset(n - 1);
            Line("OK.\n");
            Sys().clock->Sleep(200);
        }
        if (m_app.m_driverReady && !Has("-i") && !Has("-f")) {
            m_app.m_setupDirection = kSetupUninstall;
            DriverSetupState setup{m_app.m_driverVersion, m_app.m_setupFile, m_app.m_setupDirection,
                                   m_app.m_driverReady, m_app.m_programFolder};
            RunDriverSetup(setup);
        }
    }
    // 9. The end of the run.
    if (!m_app.m_driverReady || Has("-i")) {
        PressEnter();
    } else if (m_variant == 2) {
        Line("Would you like to restart your computer now? (y/n)");
        int answer = Sys().console->ReadChar(true);  // the end of the input counts as "no"
        if (answer == 'y' || answer == 'Y') {
            Line("Your computer will be restarted now.");
            PressEnter();
            if (!RebootSystem(nullptr)) Line("System shutdown ERROR!!");
        } else {
            PressEnter();
        }
    } else if (m_variant == 3) {
        if (!Has("-a")) {
            Line("\nTo complete driver uninstallation, please make sure restart your computer later.\n\n");
            PressEnter();
        } else {
            if (RebootSystem(nullptr)) {
                Line("Your computer will be restarted now.");
            } else {
                Line("System shutdown ERROR!!");
            }
            PressEnter();
        }
    } else {
        Line("Your computer will be restarted after uninstall driver.\nPlease unplug USB cable & Power Adapter,\nand "
             "re-plug them to hub device after restart.");
        if (!RebootSystem(nullptr)) Line("System shutdown ERROR!!");
    }
    // 10. The engine restores what its restore switch asks for; a hub that
    // restore disabled and could not bring back is enabled once more.
    m_dlg.RestoreSelectiveSuspend();
    EnableLeftDisabledHubs();
}

}  // namespace

void RunConsoleMode(CTessaroApp& app) {
    Console console(app);
    console.Run();
}

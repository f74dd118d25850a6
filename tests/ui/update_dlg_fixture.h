// What the update-only dialog's tests share: a PC without the filter driver,
// the package beside the program, a hub, and the dialog on the in-memory
// backend with its workers stepped.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "isp_dialog_fixture.h"
#include "ui/CUpdateDlg.h"
#include "ui/update_ids.h"

namespace updtest {

using isptest::Class2;
using isptest::Eep;
using isptest::kFlashPart;
using isptest::kFlashRow;
using isptest::SpiHub;
using tessaro::test::BenchSystem;
using ui::MemoryDialog;

inline constexpr char kTool[] = "USB3.0 Hub Update Tool";

// The update-only dialog, which also takes a command whatever state its
// button is in.
class CommandedUpdateDlg : public CUpdateDlg {
public:
    void Command(int id) { OnCommand(id, ui::kBnClicked); }
};

struct UpdateSession {
    UpdateSession() : m(dlg) {}
    ~UpdateSession() {
        std::vector<std::string> v = m.Violations();
        EXPECT_TRUE(v.empty()) << v.front();
    }
    CommandedUpdateDlg dlg;
    MemoryDialog m;
};

class UpdateDialogTest : public ::testing::Test {
protected:
    // The INI, the driver package and a .bin beside the program.
    void Package(const std::string& vx = "EUserMode=1\nDisableSelectiveSuspend=0\n") {
        sys.WriteIni("[VX7100]\n" + vx + kFlashRow);
        sys.WriteFile("program/install.iss", std::string("[install]"));
        sys.WriteFile("program/uninstall.iss", std::string("[uninstall]"));
        sys.WriteFile("program/VXUSBFLT_SETUP_V3.00.exe", std::string("setup"));
    }
    MemoryDialog& Open(const std::string& bench) {
        sys.Bench(bench);
        s.reset();
        s = std::make_unique<UpdateSession>();
        statuses.clear();
        opened = s->m.Open();
        Note();
        return s->m;
    }
    // Pumps and steps until nothing can go on, ticking the running timers
    // and noting each new status text.
    void Run() {
        MemoryDialog& m = M();
        do {
            m.Pump();
            if (!m.Alive()) break;
            if (m.TimerActive(2)) m.Tick(2);
            Note();
        } while (m.StepWorker() || m.Pump());
    }
    void Note() {
        if (!M().Alive()) return;
        std::string now = M().GetText(IDC_UPD_STATUS);
        if (statuses.empty() || statuses.back() != now) statuses.push_back(now);
    }
    // Steps until the status shows text (false when it never does).
    bool StepUntil(const std::string& text) {
        MemoryDialog& m = M();
        for (int i = 0; i < 100000; ++i) {
            m.Pump();
            Note();
            if (m.Alive() && Status() == text) return true;
            if (!m.StepWorker() && m.Pump() == 0) return false;
        }
        return false;
    }
    MemoryDialog& M() { return s->m; }
    CommandedUpdateDlg& Dlg() { return s->dlg; }
    std::string Status() { return M().GetText(IDC_UPD_STATUS); }
    bool Saw(const std::string& status) const {
        return std::find(statuses.begin(), statuses.end(), status) != statuses.end();
    }
    std::vector<std::string> BoxTexts() {
        std::vector<std::string> out;
        for (const ui::BoxRecord& b : M().Boxes()) out.push_back(b.text);
        return out;
    }
    bool SawBox(const std::string& text) {
        std::vector<std::string> t = BoxTexts();
        return std::find(t.begin(), t.end(), text) != t.end();
    }
    size_t Writes(const std::string& device) {
        size_t n = 0;
        for (const bench::LogEntry& e : sys.pc().Requests())
            n += e.device == device && e.setup.bRequest == 0x83 && e.setup.wLength && e.ok;
        return n;
    }
    size_t SetupStarts() {
        size_t n = 0;
        for (const auto& start : sys.pc().Starts()) n += start.start.file.find("VXUSBFLT_SETUP") != std::string::npos;
        return n;
    }

    BenchSystem sys;
    std::unique_ptr<UpdateSession> s;
    std::vector<std::string> statuses;
    bool opened = false;
};

inline std::string NoDriver(const std::string& hubs) { return std::string("driver missing\n") + kFlashPart + hubs; }

}  // namespace updtest

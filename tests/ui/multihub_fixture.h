// What the multi-hub dialog's tests share: the dialog on the in-memory
// backend over a bench of hubs, its pages by tab, hot plug with the device
// notification the dialog registered for, and an update run to its end.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "isp_dialog_fixture.h"
#include "ui/CHubPage.h"
#include "ui/CHubTab.h"
#include "ui/CMultiHubDlg.h"
#include "ui/config_editor.h"
#include "ui/toolkit/device_events.h"

namespace mhtest {

using isptest::BenchSystem;
using ui::MemoryDialog;

inline const std::vector<int> kPageTools = {IDC_PG_SELECT_BIN, IDC_PG_SELECT_EEP,  IDC_PG_READ_VERSION,
                                            IDC_PG_DUMP,       IDC_PG_CONFIGURATIONS, IDC_PG_ERASE};

// A hub of type 5 (VX7103 with SPI flash).
inline std::string Vx7103(const std::string& name) { return isptest::SpiHub(name, "VXI2210"); }
// A hub whose store holds no firmware: it runs its mask ROM (type 2).
inline std::string MaskHub(const std::string& name) {
    return "hub " + name + "\n  store spi W25\n  code mask\n  function vid 0x2C7E pid 0x0B40 bcd-usb 0x0210\nend\n";
}

struct MhSession {
    explicit MhSession(ui::WorkerMode mode = ui::WorkerMode::Stepped) : m(dlg, mode) {}
    ~MhSession() {
        std::vector<std::string> v = m.Violations();
        EXPECT_TRUE(v.empty()) << v.front();
    }
    CMultiHubDlg dlg;
    MemoryDialog m;
};

class MultiHubTest : public ::testing::Test {
public:
    ~MultiHubTest() override { ui::SetConfigEditorForTests(nullptr); }

    // Opens the dialog on the bench; the start-up runs out, the pages wait
    // for the version reads.
    MemoryDialog& Open(const std::string& hubs, const std::string& vx = "DisableSelectiveSuspend=0\n",
                       ui::WorkerMode mode = ui::WorkerMode::Stepped) {
        sys.WriteIni("[VX7100]\nDbgMode=1\nMultiMode=1\n" + vx + isptest::kFlashRow);
        sys.Bench(std::string(isptest::kFlashPart) + hubs);
        s.reset();
        s = std::make_unique<MhSession>(mode);
        opened = s->m.Open();
        Settle();
        return s->m;
    }
    // Opens and lets the pages go live (timer 4).
    MemoryDialog& OpenLive(const std::string& hubs, const std::string& vx = "DisableSelectiveSuspend=0\n") {
        Open(hubs, vx);
        Live();
        return M();
    }
    void Live() {
        M().Advance(8000);
        Settle();
    }
    void Settle() { M().Settle(); }

    MemoryDialog& M() { return s->m; }
    CMultiHubDlg& Dlg() { return s->dlg; }
    CHubTab& Tab() { return s->dlg.Tab(); }
    int Pages() { return Tab().PageCount(); }
    MemoryDialog& P(int i) { return *M().PageOf(*Tab().Page(i)); }
    std::string Status() { return M().GetText(IDC_MH_STATUS); }
    const ui::StatusTextModel& StatusLook() { return *M().Status(IDC_MH_STATUS); }
    std::string LastBox() { return M().Boxes().empty() ? "(no box)" : M().Boxes().back().text; }
    bool SawBox(const std::string& text) {
        for (const ui::BoxRecord& b : M().Boxes())
            if (b.text == text) return true;
        return false;
    }

    // Shows page i and picks the file in its Select Bin/Rom/Sum dialog.
    bool Load(int i, const std::string& relative, const std::vector<uint8_t>& bytes) {
        if (M().TabSelection(IDC_MH_TAB) != i && !M().SelectTab(IDC_MH_TAB, i)) return false;
        sys.WriteFile(relative, bytes);
        M().AnswerFile(sys.Native(relative));
        return P(i).Click(IDC_PG_SELECT_BIN);
    }
    bool LoadEep(int i, const std::string& relative, const std::vector<uint8_t>& bytes) {
        if (M().TabSelection(IDC_MH_TAB) != i && !M().SelectTab(IDC_MH_TAB, i)) return false;
        sys.WriteFile(relative, bytes);
        M().AnswerFile(sys.Native(relative));
        return P(i).Click(IDC_PG_SELECT_EEP);
    }
    // Do ISP to its end.
    bool DoIsp() {
        if (!M().Click(IDC_MH_DO_ISP)) return false;
        Settle();
        return true;
    }
    // A hub leaves or comes; Windows tells the dialog.
    void Unplug(const std::string& name) {
        sys.pc().Unplug(name);
        M().DeviceChange(ui::kDbtDeviceRemoveComplete, ui::kDbtDevtypDeviceInterface);
    }
    void Plug(const std::string& name) {
        sys.pc().Plug(name);
        M().DeviceChange(ui::kDbtDeviceArrival, ui::kDbtDevtypDeviceInterface);
    }
    int Rebuilds() {
        const std::string all = sys.debug.All();
        int n = 0;
        for (size_t at = all.find("after CreateTabs."); at != std::string::npos; at = all.find("after CreateTabs.", at + 1))
            ++n;
        return n;
    }
    std::vector<std::string> TabTexts() {
        std::vector<std::string> out;
        for (int i = 0; i < M().TabCount(IDC_MH_TAB); ++i) out.push_back(M().TabText(IDC_MH_TAB, i));
        return out;
    }
    std::vector<int> PageEnabled(int i) {
        std::vector<int> out;
        for (int id : kPageTools)
            if (P(i).IsEnabled(id)) out.push_back(id);
        return out;
    }
    size_t Writes(const std::string& device) {
        size_t n = 0;
        for (const bench::LogEntry& e : sys.pc().Requests())
            n += e.device == device && e.setup.bRequest == 0x83 && e.setup.wLength && e.ok;
        return n;
    }

    BenchSystem sys;
    std::unique_ptr<MhSession> s;
    bool opened = false;
};

}  // namespace mhtest

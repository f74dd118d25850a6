// The PHY tuning dialogs over the bench: register packing of both forms, the
// VX2210 ports, Enter and the range checks, and the timer discipline.
#include <gtest/gtest.h>

#include <functional>

#include "tests/ui/isp_dialog_fixture.h"
#include "ui/CPhyTuneDlg.h"
#include "ui/phy_ids.h"

namespace {

using isptest::kFlashPart;
using isptest::kFlashRow;
using isptest::SpiHub;
using tessaro::test::BenchSystem;
using ui::MemoryDialog;

struct Access {
    bool write;
    uint16_t wIndex;
    uint8_t value;  // writes only
    bool operator==(const Access& o) const {
        return write == o.write && wIndex == o.wIndex && (!write || value == o.value);
    }
};
std::ostream& operator<<(std::ostream& os, const Access& a) {
    char text[40];
    std::snprintf(text, sizeof text, "%s 0x%04X 0x%02X", a.write ? "write" : "read", a.wIndex, a.value);
    return os << text;
}

class PhyTuneTest : public ::testing::Test {
protected:
    // A tuning dialog of the form on a hub with these PHY register lines;
    // the first read cycle runs out.
    MemoryDialog& Open(const phytune::Form& form, const std::string& phy, const std::string& marker = "VXI2240",
                       const std::string& more = "") {
        sys.WriteIni(std::string("[VX7100]\nDbgMode=1\n") + kFlashRow);
        sys.Bench(std::string(kFlashPart) + SpiHub("A", marker, phy) + more);
        m.reset();
        dlg = std::make_unique<CPhyTuneDlg>(form);
        m = std::make_unique<MemoryDialog>(*dlg);
        m->Open();
        if (m->Alive()) m->Advance(CPhyTuneDlg::kDelayMs);
        sys.pc().ClearLog();
        return *m;
    }
    // PHY accesses since the log was cleared.
    std::vector<Access> Accesses() {
        std::vector<Access> out;
        for (const auto& e : sys.pc().Requests()) {
            if (e.setup.bRequest != 0x72 && e.setup.bRequest != 0x73) continue;
            EXPECT_EQ(e.setup.wValue, 0x0201);
            EXPECT_EQ(e.setup.bmRequestType, e.setup.bRequest == 0x73 ? 0x40 : 0xC0);
            out.push_back({e.setup.bRequest == 0x73, e.setup.wIndex, e.data.empty() ? uint8_t(0) : e.data[0]});
        }
        return out;
    }
    std::vector<Access> Writes() {
        std::vector<Access> out;
        for (const Access& a : Accesses())
            if (a.write) out.push_back(a);
        return out;
    }
    uint8_t Reg(uint16_t index) { return sys.pc().FindDevice("A")->Hub()->Phy(0x0201, index); }
    std::string Status() { return m->GetText(IDC_TUNE_STATUS); }

    BenchSystem sys;
    std::unique_ptr<CPhyTuneDlg> dlg;
    std::unique_ptr<MemoryDialog> m;
};

// ---------------------------------------------------------------------------
TEST_F(PhyTuneTest, Vx2240PacksEachChangeIntoItsRegister) {
    const std::string phy = "  phy 0x0201 0x0001 0x83\n  phy 0x0201 0x0002 0x5A\n  phy 0x0201 0x0005 0x4A\n"
                            "  phy 0x0201 0x0006 0x98\n  phy 0x0201 0x000A 0x27\n";
    struct Case {
        const char* what;
        std::function<void(MemoryDialog&)> act;
        std::vector<Access> accesses;  // up to the write
    } cases[] = {
        {"LFTH 2", [](MemoryDialog& d) { d.Select(IDC_TUNE_LFTH, 2); }, {{true, 0x06, 0xD8}}},
        {"EQM with EQRM 3", [](MemoryDialog& d) { d.Click(IDC_TUNE_EQM); }, {{true, 0x01, 0xA3}}},
        // Bits 4-3 of 0x02 are always set; RSW 2 stays.
        {"SW 5", [](MemoryDialog& d) { d.Select(IDC_TUNE_SW, 5); }, {{true, 0x02, 0xBA}}},
        // 0x05 is read right before the write; its bit 1 goes back as read.
        {"VVCO 9",
         [](MemoryDialog& d) {
             d.Type(IDC_TUNE_VVCO, "9");
             d.PressEnter();
         },
         {{false, 0x05, 0}, {true, 0x05, 0x9E}}},
        {"ICP 200",
         [](MemoryDialog& d) {
             d.Type(IDC_TUNE_ICP, "200");
             d.PressEnter();
         },
         {{true, 0x04, 200}}},
        {"VVCOCDR 5", [](MemoryDialog& d) { d.Type(IDC_TUNE_VVCOCDR, "5"), d.PressEnter(); }, {{true, 0x0A, 0x25}}},
    };
    for (const Case& c : cases) {
        MemoryDialog& d = Open(phytune::Vx2240Form(), phy);
        ASSERT_EQ(d.GetText(IDC_TUNE_EQRM), "3") << c.what;
        ASSERT_EQ(d.GetText(IDC_TUNE_VVCO), "4");
        ASSERT_EQ(d.GetCheck(IDC_TUNE_SSC), 1);
        c.act(d);
        EXPECT_TRUE(Accesses().empty()) << c.what << ": nothing before the timer";
        d.Advance(CPhyTuneDlg::kDelayMs);
        std::vector<Access> got = Accesses();
        ASSERT_GE(got.size(), c.accesses.size()) << c.what;
        got.resize(c.accesses.size());
        EXPECT_EQ(got, c.accesses) << c.what;
        EXPECT_EQ(Reg(c.accesses.back().wIndex), c.accesses.back().value) << c.what;
    }

    // SELPORT only chooses what to show: a read cycle, no write.
    MemoryDialog& d = Open(phytune::Vx2240Form(), phy);
    EXPECT_EQ(d.Selection(IDC_TUNE_SELPORT), 2);
    ASSERT_TRUE(d.Select(IDC_TUNE_SELPORT, 4));
    EXPECT_EQ(Status(), "Reading data...");
    d.Advance(CPhyTuneDlg::kDelayMs);
    EXPECT_TRUE(Writes().empty());
    EXPECT_EQ(Accesses().size(), 9u);

    // A port the list has no item for (6) shows no selection, and a write of
    // the register keeps it as read instead of sending port V.
    MemoryDialog& odd = Open(phytune::Vx2240Form(), "  phy 0x0201 0x000A 0x67\n");
    EXPECT_EQ(odd.Selection(IDC_TUNE_SELPORT), -1);
    odd.Type(IDC_TUNE_VVCOCDR, "5");
    odd.PressEnter();
    odd.Advance(CPhyTuneDlg::kDelayMs);
    ASSERT_FALSE(Writes().empty());
    EXPECT_EQ(Writes().front(), (Access{true, 0x0A, 0x65}));
}

TEST_F(PhyTuneTest, Vx2210PortsRelabelGroupsAndAddressTheRegisters) {
    const std::string phy = "  phy 0x0201 0x01C4 0xA5\n  phy 0x0201 0x01C6 0x01\n  phy 0x0201 0x01C7 0x45\n"
                            "  phy 0x0201 0x01C0 0x9B\n  phy 0x0201 0x00C2 0x35\n";
    MemoryDialog& d = Open(phytune::Vx2210Form(), phy, "VXI2210");
    EXPECT_EQ(d.Caption(), "VX2210 PHY Tuning");
    EXPECT_EQ(d.ItemText(IDC_TUNE_PORT, d.Selection(IDC_TUNE_PORT)), "Downstream Port 1");
    EXPECT_EQ(d.GetText(IDC_TUNE_GROUP_C2), "0x1C2");
    EXPECT_EQ(d.GetText(IDC_TUNE_GROUP_C6), "0x1C6: SCDR");
    EXPECT_EQ(d.GetText(IDC_TUNE_GROUP_EQR), "0x1C0: EQR");
    EXPECT_EQ(d.GetText(IDC_TUNE_GROUP_C9), "0xC9: FMAX");
    EXPECT_EQ(d.GetText(IDC_TUNE_EQR), "19");
    EXPECT_EQ(d.GetText(IDC_TUNE_RCAL), "3");
    EXPECT_EQ(d.Limit(IDC_TUNE_FMAX), 3);
    EXPECT_EQ(d.Limit(IDC_TUNE_FSTEP), 2);

    // Bits the dialog does not own go back as read: 0xC4 bit 7, 0xC6 bit 0, 0xC7 bit 6.
    ASSERT_TRUE(d.Click(IDC_TUNE_SCDR));
    d.Advance(2 * CPhyTuneDlg::kDelayMs);
    ASSERT_TRUE(d.Select(IDC_TUNE_LFTH, 3));
    d.Advance(2 * CPhyTuneDlg::kDelayMs);
    ASSERT_TRUE(d.Click(IDC_TUNE_EQM));
    d.Advance(2 * CPhyTuneDlg::kDelayMs);
    EXPECT_EQ(Writes(), (std::vector<Access>{{true, 0x01C6, 0x03}, {true, 0x01C4, 0xE5}, {true, 0x01C7, 0x65}}));

    // Upstream: per-port registers without the port digit, read-only fields "NA".
    sys.pc().ClearLog();
    ASSERT_TRUE(d.Select(IDC_TUNE_PORT, 0));
    EXPECT_EQ(d.GetText(IDC_TUNE_GROUP_C2), "0xC2");
    EXPECT_EQ(d.GetText(IDC_TUNE_GROUP_OFD0), "0xC1: OFD0");
    d.Advance(CPhyTuneDlg::kDelayMs);
    std::vector<uint16_t> read;
    for (const Access& a : Accesses()) read.push_back(a.wIndex);
    EXPECT_EQ(read, (std::vector<uint16_t>{0xC2, 0xC3, 0xC4, 0xC6, 0xC7, 0xC8, 0xC9, 0xCA, 0xDD}));
    for (int id : {IDC_TUNE_EQR, IDC_TUNE_RCAL, IDC_TUNE_OFD0}) EXPECT_EQ(d.GetText(id), "NA");
    EXPECT_EQ(d.GetText(IDC_TUNE_VVCOCDR), "5");
    EXPECT_EQ(d.Selection(IDC_TUNE_RSW), 3);

    // Save writes every writable register of the port in table order, then reads.
    sys.pc().ClearLog();
    ASSERT_TRUE(d.Click(IDC_TUNE_SAVE));
    d.Advance(CPhyTuneDlg::kDelayMs);
    std::vector<uint16_t> written;
    for (const Access& a : Writes()) written.push_back(a.wIndex);
    EXPECT_EQ(written, (std::vector<uint16_t>{0xC2, 0xC3, 0xC4, 0xC6, 0xC7, 0xC8, 0xC9, 0xCA, 0xDD}));
    EXPECT_EQ(Reg(0xC2), 0x35);
    EXPECT_EQ(d.ActiveTimers(), std::vector<int>{CPhyTuneDlg::kReadTimer});
}

TEST_F(PhyTuneTest, EnterWritesOneRegisterAndRangeErrorsWarnOnce) {
    MemoryDialog& d = Open(phytune::Vx2240Form(), "");
    // A valid value: one register, the dialog stays.
    ASSERT_TRUE(d.Type(IDC_TUNE_EQRM, "7"));
    ASSERT_TRUE(d.PressEnter());
    EXPECT_TRUE(d.Alive());
    EXPECT_EQ(Status(), "Writing data...");
    d.Advance(2 * CPhyTuneDlg::kDelayMs);
    EXPECT_EQ(Writes(), (std::vector<Access>{{true, 0x01, 0x87}}));
    EXPECT_TRUE(d.Alive());

    struct Case {
        int id;
        const char* typed;
        const char* warning;
    } cases[] = {
        {IDC_TUNE_EQRM, "32", "Out of range warning! The value of [EQRM] field should be 0~31."},
        {IDC_TUNE_VVCO, "16", "Out of range warning! The value of [VVCO] field should be 0~15."},
        {IDC_TUNE_ICP, "256", "Out of range warning! The value of [ICP] field should be 0~255."},
        {IDC_TUNE_ICPCDR, "4x0", "Out of range warning! The value of [ICPCDR] field should be 0~31."},
    };
    for (const Case& c : cases) {
        sys.pc().ClearLog();
        const size_t boxes = d.Boxes().size();
        // While the box is up the field loses the focus; it is checked no second time.
        d.OnBox([&d, &c](const ui::BoxRecord&) {
            EXPECT_EQ(d.GetText(c.id), "0") << "reset before the box";
            d.FocusOn(IDC_TUNE_EQR);
            return ui::kIdOk;
        });
        ASSERT_TRUE(d.Type(c.id, c.typed));
        ASSERT_TRUE(d.PressEnter());
        ASSERT_EQ(d.Boxes().size(), boxes + 1) << c.typed;
        EXPECT_EQ(d.Boxes().back().text, c.warning);
        EXPECT_EQ(d.Boxes().back().caption, "Input ERROR");
        EXPECT_EQ(d.GetText(c.id), "0");
        EXPECT_TRUE(d.ActiveTimers().empty());
        d.Advance(CPhyTuneDlg::kDelayMs);
        EXPECT_TRUE(Accesses().empty());
        d.OnBox(nullptr);
        // Focus loss checks too.
        ASSERT_TRUE(d.Type(c.id, c.typed));
        ASSERT_TRUE(d.FocusOn(IDC_TUNE_EQR));
        EXPECT_EQ(d.Boxes().size(), boxes + 2);
        EXPECT_EQ(d.GetText(c.id), "0");
    }
    EXPECT_TRUE(d.Alive());
}

TEST_F(PhyTuneTest, OneTimerArmedAndControlsDisabledUntilTheOperationEnds) {
    MemoryDialog& d = Open(phytune::Vx2240Form(), "");
    ASSERT_TRUE(d.Select(IDC_TUNE_LFTH, 1));
    EXPECT_EQ(d.ActiveTimers(), std::vector<int>{CPhyTuneDlg::kOneTimer});
    EXPECT_EQ(d.TimerPeriod(CPhyTuneDlg::kOneTimer), 800u);
    for (int id : {IDC_TUNE_SAVE, IDC_TUNE_REFLASH, IDC_TUNE_EQM, IDC_TUNE_SW, IDC_TUNE_EQRM})
        EXPECT_FALSE(d.IsEnabled(id)) << id;
    EXPECT_FALSE(d.Click(IDC_TUNE_SAVE));
    d.Advance(CPhyTuneDlg::kDelayMs);
    // The write is followed by the read cycle, still with everything disabled.
    EXPECT_EQ(d.ActiveTimers(), std::vector<int>{CPhyTuneDlg::kReadTimer});
    EXPECT_EQ(Status(), "Reading data...");
    EXPECT_FALSE(d.IsEnabled(IDC_TUNE_SAVE));
    d.Advance(CPhyTuneDlg::kDelayMs);
    EXPECT_TRUE(d.ActiveTimers().empty());
    EXPECT_TRUE(d.IsEnabled(IDC_TUNE_SAVE));
    EXPECT_FALSE(d.IsEnabled(IDC_TUNE_PORT)) << "the VX2240 form has no ports";
    EXPECT_EQ(Status(), "Read data OK");
    const ui::StatusTextModel* st = d.Status(IDC_TUNE_STATUS);
    ASSERT_NE(st, nullptr);
    EXPECT_EQ(st->TextColor(), ui::Rgb(0, 128, 0));
    EXPECT_EQ(st->Font().face, "Microsoft Sans Serif");
    EXPECT_EQ(st->Points(), 18);
    EXPECT_EQ(st->Font().weight, 700);
}

TEST_F(PhyTuneTest, FailuresShowBoxLogAndRedTextAndLeaveTheDialogUsable) {
    struct Case {
        const char* fault;
        int press;
        const char* box;
        const char* status;
        const char* log;
    } cases[] = {
        {"fault fail request 0x73 index 0x06\n", IDC_TUNE_LFTH, "Write LFTH ERROR!", "Write LFTH ERROR!",
         "Write LFTH ERROR!!"},
        {"fault fail request 0x72 index 0x05 nth 2\n", IDC_TUNE_SSC, "Read VVCO_SSC ERROR!", "Read VVCO_SSC ERROR!",
         "Read VVCO_SSC ERROR!!"},
        {"fault fail request 0x72 index 0x12 nth 2\n", IDC_TUNE_REFLASH, "Read RCAL_OFD0 ERROR!",
         "Read RCAL_OFD0 ERROR!", "Read RCAL_OFD0 ERROR!!"},
        {"", IDC_TUNE_REFLASH, "[ERROR] Cannot open device!", "Open Device ERROR!", nullptr},
    };
    for (const Case& c : cases) {
        MemoryDialog& d = Open(phytune::Vx2240Form(), "", "VXI2240", c.fault);
        ASSERT_EQ(Status(), "Read data OK") << c.fault;
        if (!*c.fault) sys.pc().Unplug("A");
        if (c.press == IDC_TUNE_LFTH) {
            ASSERT_TRUE(d.Select(c.press, 3));
        } else {
            ASSERT_TRUE(d.Click(c.press));
        }
        d.Advance(CPhyTuneDlg::kDelayMs);
        ASSERT_FALSE(d.Boxes().empty()) << c.fault;
        EXPECT_EQ(d.Boxes().back().text, c.box);
        EXPECT_EQ(d.Boxes().back().caption, "Quillon");
        EXPECT_TRUE(d.Boxes().back().style & ui::kMbIconError);
        EXPECT_EQ(Status(), c.status);
        EXPECT_EQ(d.Status(IDC_TUNE_STATUS)->TextColor(), ui::Rgb(255, 0, 0));
        if (c.log) {
            EXPECT_TRUE(sys.debug.Contains(c.log)) << c.log;
        }
        EXPECT_TRUE(d.ActiveTimers().empty()) << "no read after a failure";
        EXPECT_TRUE(d.IsEnabled(IDC_TUNE_SAVE));
        EXPECT_TRUE(d.Alive());
        // The session is closed again.
        const auto log = sys.pc().Log();
        ASSERT_FALSE(log.empty());
        EXPECT_EQ(log.back().kind, bench::LogEntry::Kind::Close) << c.fault;
    }
}

TEST_F(PhyTuneTest, StartRefusesHubsItCannotTune) {
    struct Case {
        std::string bench;
        const char* box;
        uint32_t icon;
    } cases[] = {
        {"", "[ERROR] Detect VX710x hub failed!", ui::kMbIconError},
        {"none", "[Warning] Hub PHY Tuning Tool does not support VX710x-10 Series.", ui::kMbIconWarning},
        {"fault", "Hub1 type is unknown.", ui::kMbIconWarning},
    };
    for (const Case& c : cases) {
        sys.WriteIni(std::string("[VX7100]\n") + kFlashRow);
        if (c.bench.empty()) {
            sys.Bench("os 6.1.7601\n");
        } else if (c.bench == "fault") {  // identification requests fail
            sys.Bench(std::string(kFlashPart) + SpiHub("A") + "fault fail request 0x82\nfault fail request 0x81\n");
        } else {
            sys.Bench(std::string(kFlashPart) + SpiHub("A", c.bench));
        }
        CPhyTuneDlg tune(phytune::Vx2240Form());
        MemoryDialog d(tune);
        EXPECT_FALSE(d.Open());
        ASSERT_EQ(d.Boxes().size(), 1u);
        EXPECT_EQ(d.Boxes()[0].text, c.box);
        EXPECT_EQ(d.Boxes()[0].style & (ui::kMbIconError | ui::kMbIconWarning), c.icon);
    }
}

TEST_F(PhyTuneTest, ToolTipsListsAndLimitsComeFromTheTables) {
    MemoryDialog& d = Open(phytune::Vx2240Form(), "");
    EXPECT_EQ(d.Caption(), "VX2240 PHY Tuning");
    EXPECT_EQ(d.Control(IDC_TUNE_SELPORT)->toolTip, "Select port V, W, X, Y, Z");
    EXPECT_EQ(d.Control(IDC_TUNE_SSC)->toolTip, "Control signals for SSC PLL");
    EXPECT_EQ(d.Control(IDC_TUNE_SSC)->toolTipMs, 5000);
    EXPECT_EQ(d.ItemCount(IDC_TUNE_SW), 8);
    EXPECT_EQ(d.ItemText(IDC_TUNE_SW, 7), "1.15V");
    EXPECT_EQ(d.ItemText(IDC_TUNE_SELPORT, 4), "Z");
    EXPECT_EQ(d.ItemCount(IDC_TUNE_LFTH), 4);
    EXPECT_EQ(d.Limit(IDC_TUNE_ICP), 3);
    EXPECT_EQ(d.Limit(IDC_TUNE_EQRM), 2);
    ASSERT_TRUE(d.Type(IDC_TUNE_EQRM, "a1"));
    EXPECT_EQ(d.GetText(IDC_TUNE_EQRM), "1") << "digits only";

    MemoryDialog& e = Open(phytune::Vx2210Form(), "", "VXI2210");
    EXPECT_EQ(e.Control(IDC_TUNE_REXT)->toolTip, "high(1.2V), external control 45 ohm calibration code");
    EXPECT_EQ(e.Control(IDC_TUNE_GROUP_EQR)->toolTip, "RX equalizer setting");
    EXPECT_EQ(e.ItemCount(IDC_TUNE_PORT), 5);
    EXPECT_EQ(e.ItemCount(IDC_TUNE_DEM_VALUE), 4);
}

}  // namespace

// The PHY settings dialog over the bench: pages, reads, writes, retries, the
// suspend helper, and devices coming and going.
#include <gtest/gtest.h>

#include "support/bench_system.h"
#include "ui/CPhyDlg.h"
#include "ui/phy_ids.h"
#include "ui/toolkit/memory.h"

namespace {

using tessaro::test::BenchSystem;
using ui::MemoryDialog;

std::string Hub(const std::string& extra = "", const std::string& pid = "0x0B40") {
    return "os 6.1.7601 sp 1\nhub A\n  store eeprom 256\n  phy-default 0x11\n  phy 0x0101 0x0027 0x3C\n"
           "  phy 0x0101 0x02DD 0x07\n  phy 0x0201 0x0006 0x98\n" + extra +
           "  function vid 0x2C7E pid " + pid + " bcd-device 0x9036 bcd-usb 0x0210\nend\n";
}

int Field(int n) { return IDC_PHY_FIELD1 + n - 1; }

class PhySettingsTest : public ::testing::Test {
protected:
    MemoryDialog& Open(const std::string& bench) {
        sys.WriteIni("[VX7100]\nPhyAccess=1\n");
        sys.Bench(bench);
        m = std::make_unique<MemoryDialog>(dlg);
        m->Open();
        return *m;
    }
    std::vector<bench::LogEntry> Requests(uint8_t bRequest) {
        std::vector<bench::LogEntry> out;
        for (const auto& e : sys.pc().Requests())
            if (e.setup.bRequest == bRequest) out.push_back(e);
        return out;
    }
    uint8_t Reg(uint16_t space, uint16_t index) { return sys.pc().FindDevice("A")->Hub()->Phy(space, index); }
    std::string Status() { return m->GetText(IDC_PHY_STATUS); }

    BenchSystem sys;
    CPhyDlg dlg;
    std::unique_ptr<MemoryDialog> m;
};

TEST_F(PhySettingsTest, StartReadsTheUsb2PageAndHidesTheUsb3Fields) {
    MemoryDialog& d = Open(Hub());
    EXPECT_EQ(d.Caption(), "Varnellogic USB3.0 Hub Phy setting");
    EXPECT_EQ(d.GetCheck(IDC_PHY_USB2), 1);
    EXPECT_EQ(Status(), "Finish reading USB2 PHY value.");
    EXPECT_EQ(d.GetText(Field(8)), "3c");
    EXPECT_EQ(d.GetText(Field(1)), "11");
    EXPECT_EQ(d.GetText(IDC_PHY_LABEL8), "SQ_DT_D2: ");
    for (int n : {11, 12, 13}) {
        EXPECT_FALSE(d.IsVisible(Field(n)));
        EXPECT_FALSE(d.IsVisible(IDC_PHY_LABEL1 + n - 1));
    }
    EXPECT_EQ(d.Limit(Field(1)), 2);
    auto reads = Requests(0x72);
    ASSERT_EQ(reads.size(), 10u);
    for (size_t i = 0; i < reads.size(); ++i) {
        EXPECT_EQ(reads[i].setup.bmRequestType, 0xC3);
        EXPECT_EQ(reads[i].setup.wValue, 0x0101);
        EXPECT_EQ(reads[i].setup.wIndex, 0x20 + i);
        EXPECT_EQ(reads[i].setup.wLength, 1);
    }

    // The USB3 page: per-port registers in the USB2 space, three of the USB3 one.
    sys.pc().ClearLog();
    ASSERT_TRUE(d.Click(IDC_PHY_USB3));
    EXPECT_EQ(Status(), "Finish reading USB3 PHY value.");
    EXPECT_EQ(d.GetText(IDC_PHY_LABEL3), "CPDEM_D2: ");
    EXPECT_EQ(d.GetText(Field(3)), "07");
    EXPECT_EQ(d.GetText(Field(13)), "98");
    EXPECT_TRUE(d.IsVisible(Field(13)));
    reads = Requests(0x72);
    ASSERT_EQ(reads.size(), 13u);
    EXPECT_EQ(reads[7].setup.wIndex, 0x02DE);
    EXPECT_EQ(reads[10].setup.wValue, 0x0201);
    EXPECT_EQ(reads[10].setup.wIndex, 0x0002);
}

TEST_F(PhySettingsTest, WriteSendsOnlyModifiedFieldsThatHoldHexBytes) {
    struct Case {
        std::vector<std::pair<int, std::string>> typed;
        std::vector<std::pair<uint16_t, uint8_t>> written;  // wIndex, value, in order
        const char* status;
    } cases[] = {
        {{{8, "5a"}}, {{0x0027, 0x5A}}, "Finish writing USB2 PHY value."},
        {{{2, "5"}, {9, "7F"}}, {{0x0021, 0x05}, {0x0028, 0x7F}}, "Finish writing USB2 PHY value."},
        // A refused field is not written, and the others go on.
        {{{1, "g1"}, {3, ""}, {4, "4"}}, {{0x0023, 0x04}}, "U2 Write ERROR!"},
        {{{5, " 1"}}, {}, "U2 Write ERROR!"},
    };
    for (const Case& c : cases) {
        MemoryDialog& d = Open(Hub());
        sys.pc().ClearLog();
        for (const auto& t : c.typed) ASSERT_TRUE(d.Type(Field(t.first), t.second));
        ASSERT_TRUE(d.Click(IDC_PHY_WRITE));
        auto writes = Requests(0x73);
        ASSERT_EQ(writes.size(), c.written.size()) << c.status;
        for (size_t i = 0; i < writes.size(); ++i) {
            EXPECT_EQ(writes[i].setup.bmRequestType, 0x43);
            EXPECT_EQ(writes[i].setup.wValue, 0x0101);
            EXPECT_EQ(writes[i].setup.wIndex, c.written[i].first);
            EXPECT_EQ(Reg(0x0101, c.written[i].first), c.written[i].second);
        }
        EXPECT_EQ(Status(), c.status);
    }
}

TEST_F(PhySettingsTest, PageSwitchForgetsWhatWasTypedEvenWhenTheReadFails) {
    MemoryDialog& d = Open(Hub());
    ASSERT_TRUE(d.Type(Field(1), "aa"));
    ASSERT_TRUE(d.Click(IDC_PHY_USB3));
    sys.pc().ClearLog();
    ASSERT_TRUE(d.Click(IDC_PHY_WRITE));
    EXPECT_TRUE(Requests(0x73).empty());

    // The read of the other page fails; a later Write still sends nothing.
    ASSERT_TRUE(d.Type(Field(2), "bb"));
    sys.pc().Unplug("A");
    ASSERT_TRUE(d.Click(IDC_PHY_USB2));
    EXPECT_EQ(Status(), "Hub is not detected!");
    sys.pc().Plug("A");
    sys.pc().ClearLog();
    ASSERT_TRUE(d.Click(IDC_PHY_WRITE));
    EXPECT_TRUE(Requests(0x73).empty());
    EXPECT_EQ(Reg(0x0101, 0x0021), 0x11);
}

TEST_F(PhySettingsTest, OneRetryAfterTwentyMilliseconds) {
    struct Case {
        const char* fault;
        bool write;
        const char* status;
        size_t requests;
    } cases[] = {
        {"fault fail request 0x72 index 0x22 first 1\n", false, "Finish reading USB2 PHY value.", 11},
        {"fault fail request 0x72 index 0x22 first 2\n", false, "U2 Read ERROR!", 4},
        {"fault fail request 0x73 first 1\n", true, "Finish writing USB2 PHY value.", 2},
        {"fault fail request 0x73 first 2\n", true, "U2 Write ERROR!", 2},
    };
    for (const Case& c : cases) {
        MemoryDialog& d = Open(Hub() + c.fault);
        if (c.write) {
            sys.pc().ClearLog();
            ASSERT_TRUE(d.Type(Field(6), "01"));
            ASSERT_TRUE(d.Click(IDC_PHY_WRITE));
        }
        auto rs = Requests(c.write ? 0x73 : 0x72);
        ASSERT_EQ(rs.size(), c.requests) << c.fault;
        size_t failed = c.write ? 0 : 2;
        EXPECT_FALSE(rs[failed].ok);
        EXPECT_EQ(rs[failed + 1].timeMs - rs[failed].timeMs, 20u) << c.fault;
        EXPECT_EQ(Status(), c.status);
    }
}

TEST_F(PhySettingsTest, NoHubRefusesAndTheSuspendHelperRunsOnlyOnWindows6) {
    struct Case {
        const char* os;
        bool hub;
        std::vector<std::string> starts;
    } cases[] = {
        {"os 6.1.7601 sp 1\n", true, {"0", "1"}},
        {"os 6.2.9200\n", false, {"0", "1"}},
        {"os 10.0.19045\n", true, {}},
        {"os 5.1.2600 sp 3\n", true, {}},
    };
    for (const Case& c : cases) {
        std::string bench = c.hub ? Hub() : std::string();
        bench = c.os + bench.substr(bench.find('\n') + 1);
        MemoryDialog& d = Open(bench);
        if (!c.hub) {
            EXPECT_EQ(Status(), "Device or driver is not found!");
            for (int n = 1; n <= 13; ++n) EXPECT_EQ(d.GetText(Field(n)), "00");
            EXPECT_FALSE(d.IsVisible(Field(12)));
            EXPECT_FALSE(d.IsEnabled(IDC_PHY_READ));
            EXPECT_FALSE(d.IsEnabled(Field(1)));
        }
        ASSERT_TRUE(d.CloseBox());
        EXPECT_TRUE(d.Ended());
        std::vector<std::string> starts;
        for (const auto& s : sys.pc().Starts()) {
            EXPECT_NE(s.start.file.find("pwrsusp.exe"), std::string::npos);
            starts.push_back(s.start.parameters);
        }
        EXPECT_EQ(starts, c.starts) << c.os;
    }
}

TEST_F(PhySettingsTest, DeviceChangeLooksForTheHubWaitsAndReadsOrClears) {
    MemoryDialog& d = Open(Hub());
    sys.pc().Unplug("A");
    uint64_t before = sys.pc().Clock().NowMs();
    d.DeviceChange(ui::kDbtDeviceRemoveComplete);
    EXPECT_EQ(sys.pc().Clock().NowMs() - before, 1500u);
    EXPECT_EQ(Status(), "Hub is not detected!");
    EXPECT_EQ(d.GetText(Field(8)), "00");
    EXPECT_FALSE(d.IsEnabled(IDC_PHY_WRITE));

    sys.pc().Plug("A");
    sys.pc().ClearLog();
    d.DeviceChange(ui::kDbtDeviceArrival);
    EXPECT_EQ(Status(), "Finish reading USB2 PHY value.");
    EXPECT_EQ(d.GetText(Field(8)), "3c");
    EXPECT_TRUE(d.IsEnabled(IDC_PHY_WRITE));
    ASSERT_FALSE(sys.pc().Requests().empty());

    // A hub whose hardware ID names another product is found through the driver.
    MemoryDialog& lite = Open(Hub("", "0x0B47"));
    sys.pc().ClearLog();
    lite.DeviceChange(ui::kDbtDeviceArrival);
    EXPECT_EQ(Status(), "Finish reading USB2 PHY value.");
    EXPECT_EQ(Requests(0x72).size(), 10u);

    // A device list that cannot be made ends the handler with the system's
    // box: no wait, no request.
    MemoryDialog& e = Open(Hub() + "fault devices error 13\n");
    sys.pc().ClearLog();
    const size_t boxes = sys.box.Boxes().size();
    before = sys.pc().Clock().NowMs();
    e.DeviceChange(ui::kDbtDevNodesChanged);
    EXPECT_EQ(sys.pc().Clock().NowMs(), before);
    EXPECT_TRUE(sys.pc().Requests().empty());
    EXPECT_EQ(sys.box.Boxes().size(), boxes + 1);
}

}  // namespace

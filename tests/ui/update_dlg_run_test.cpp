// The update run of the update-only dialog with the driver in place: the
// image and the .eep against the hub's type, folder mode's search by hub
// type, the result of each run, and the version read after it.
#include "update_dlg_fixture.h"

#include <cstring>

using namespace updtest;

namespace {

inline std::string Type1Hub(const std::string& name) { return SpiHub(name, "VXI2230"); }
inline std::vector<uint8_t> Class1() { return isptest::FlashImage(0x4000, "VXI2230", 3); }
// A class-2 image that still identifies an EEPROM hub once written into it.
inline std::vector<uint8_t> Class2ForEeprom() {
    std::vector<uint8_t> image = Class2();
    std::memcpy(image.data() + 0xFC, "XROM", 4);
    return image;
}
// A 256-byte EEPROM hub (type 4) that lists itself as the dialog's hubs do.
inline std::string LiteHubListed(const std::string& name) {
    return "hub " + name + "\n  store eeprom 256\n  put 0x1C text \"EROM\"\n  put 0x0E hex 01 00\n"
           "  function vid 0x2C7E pid 0x0B40 bcd-device 0x0105 bcd-usb 0x0210\nend\n";
}

class UpdateRunTest : public UpdateDialogTest {
protected:
    // The driver is there: no setup runs, and no removal follows.
    MemoryDialog& OpenInstalled(const std::string& hubs) {
        MemoryDialog& m = Open(std::string(kFlashPart) + hubs);
        if (m.Alive()) {
            m.SetCheck(IDC_UPD_AUTO_UNINSTALL, 0);
            Dlg().Command(IDC_UPD_AUTO_UNINSTALL);
        }
        return m;
    }
    void Press() {
        ASSERT_TRUE(M().Click(IDC_UPD_UPDATE));
        Run();
    }
};

TEST_F(UpdateRunTest, ImageAndEepAgainstTheHubType) {
    struct Case {
        const char* name;
        std::string hub;
        std::vector<uint8_t> image;
        size_t eep;  // 0: none
        bool updated;
        const char* box;  // the refusal, or "" after a success
    } cases[] = {
        {"class 2 on type 2 with a compact block", SpiHub("A"), Class2(), 144, true, ""},
        {"class 2 on type 3", isptest::EepromHub("A"), Class2ForEeprom(), 0, true, ""},
        {"class 1 on type 1 with a wide block", Type1Hub("A"), Class1(), 512, true, ""},
        {"a wide block on type 2", SpiHub("A"), Class2(), 512, false,
         "Incompatible EEP file with the attached hub, please check."},
        {"a compact block on type 1", Type1Hub("A"), Class1(), 144, false,
         "Incompatible EEP file with the attached hub, please check."},
        {"class 2 on type 1", Type1Hub("A"), Class2(), 0, false, "Mismatched firmware and Hub!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Package();
        sys.WriteFile("program/fw.bin", c.image);
        sys.Remove("program/fw.eep");
        if (c.eep) sys.WriteFile("program/fw.eep", Eep(c.eep, 0x31));
        MemoryDialog& m = OpenInstalled(c.hub);
        ASSERT_TRUE(m.Alive());
        EXPECT_EQ(m.GetText(IDC_UPD_EEP_FILE), c.eep ? "fw.eep" : "None");
        Press();
        EXPECT_EQ(Status(), c.updated ? "FW Update Complete." : "FW Update ERROR!");
        EXPECT_EQ(Dlg().Result(), c.updated ? 1 : 0);
        EXPECT_TRUE(m.IsEnabled(IDC_UPD_UPDATE));
        EXPECT_EQ(SetupStarts(), 0u) << "the driver stays";
        if (c.updated) {
            EXPECT_GT(Writes("A"), 0u);
            EXPECT_TRUE(Saw("Resetting Hub 1..."));
            if (c.eep) {
                // The block went in at 0x100 at its own size; the image keeps its version.
                const std::vector<uint8_t>& store = sys.Store("A");
                EXPECT_EQ(store[0x100], 0xAA);
                EXPECT_EQ(store[0x100 + c.eep - 1], 0x31);
                EXPECT_EQ(store[0x10E], 0x78);
                EXPECT_EQ(Dlg().Block()[0x0E], 0x31) << "the kept block is untouched";
            }
        } else {
            EXPECT_EQ(Writes("A"), 0u);
            EXPECT_TRUE(SawBox(c.box)) << ::testing::PrintToString(BoxTexts());
            EXPECT_TRUE(SawBox("FW Update ERROR!"));
        }
        s.reset();
    }
}

TEST_F(UpdateRunTest, NoFirmwareVersionShowsTheHardwareRevisionAndKeepsTheBlock) {
    Package();
    std::vector<uint8_t> image = Class2();
    image[0x10E] = image[0x10F] = 0xFF;
    sys.WriteFile("program/fw.bin", image);
    sys.WriteFile("program/fw.eep", Eep(144, 0x42));
    MemoryDialog& m = OpenInstalled(SpiHub("A"));
    m.SetText(IDC_UPD_FW_VERSION, "");
    Press();
    EXPECT_EQ(Status(), "FW Update Complete.");
    EXPECT_EQ(m.GetText(IDC_UPD_FW_VERSION), "9035");
    std::vector<uint8_t> block = Eep(144, 0x42);
    block.resize(512, 0);
    EXPECT_EQ(Dlg().Block(), block);
    // A retry merges the very same block.
    Press();
    EXPECT_EQ(Status(), "FW Update Complete.");
    EXPECT_EQ(sys.Store("A")[0x100 + 0x20], 0x42);
}

TEST_F(UpdateRunTest, EveryRunStartsAsAFailure) {
    Package("EUserMode=2\nDisableSelectiveSuspend=0\n");
    sys.WriteFile("program/VX710x-21/fw.bin", Class2());
    MemoryDialog& m = OpenInstalled(SpiHub("A"));
    Press();
    EXPECT_EQ(Status(), "FW Update Complete.");
    sys.pc().Unplug("A");
    Press();
    EXPECT_EQ(Status(), "FW Update ERROR!");
    EXPECT_EQ(Dlg().Result(), 0);
    EXPECT_FALSE(Dlg().UpdateDone());
    EXPECT_TRUE(m.IsEnabled(IDC_UPD_UPDATE));
}

TEST_F(UpdateRunTest, FolderModeSearchesTheHubSeriesFolderOnceTheHubIsKnown) {
    struct Case {
        const char* name;
        std::string hub;
        std::vector<std::pair<std::string, std::vector<uint8_t>>> files;
        const char* fwFile;  // after the run; "" when refused
        const char* eepFile;
        const char* box;
    } cases[] = {
        {"type 2 in VX710x-21", SpiHub("A"),
         {{"program/fw.bin", Class1()}, {"program/VX710x-21/new.bin", Class2()}}, "new.bin", "None", ""},
        {"a .sum beats the .bin and its .eep", SpiHub("A"),
         {{"program/VX710x-21/a.bin", Class2()},
          {"program/VX710x-21/b.sum", Class2()},
          {"program/VX710x-21/c.eep", Eep(144, 1)}},
         "b.sum", "None", ""},
        {"type 1 in VX710x-10", Type1Hub("A"), {{"program/VX710x-10/one.bin", Class1()}}, "one.bin", "None", ""},
        {"type 4 refused", LiteHubListed("A"), {{"program/VX710x-21/fw.bin", isptest::Class4()}}, "", "",
         "Do not support this chip type! Exit program"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Package("EUserMode=2\nDisableSelectiveSuspend=0\n");
        for (const auto& f : c.files) sys.WriteFile(f.first, f.second);
        MemoryDialog& m = OpenInstalled(c.hub);
        ASSERT_TRUE(m.Alive());
        EXPECT_EQ(m.GetText(IDC_UPD_FW_FILE), "VX710x-10 or VX710x-21");  // nothing searched yet
        Press();
        if (*c.box) {
            EXPECT_TRUE(SawBox(c.box)) << ::testing::PrintToString(BoxTexts());
            EXPECT_EQ(Status(), "FW Update ERROR!");
            EXPECT_EQ(Writes("A"), 0u);
        } else {
            EXPECT_EQ(Status(), "FW Update Complete.");
            EXPECT_EQ(m.GetText(IDC_UPD_FW_FILE), c.fwFile);
            EXPECT_EQ(m.GetText(IDC_UPD_EEP_FILE), c.eepFile);
            EXPECT_FALSE(Dlg().EepPresent());
        }
        EXPECT_EQ(SetupStarts(), 0u);
        s.reset();
        for (const auto& f : c.files) sys.Remove(f.first);
    }
}

}  // namespace

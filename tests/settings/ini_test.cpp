// The INI reader, run against both the reader of this build (the system's
// profile functions on Windows) and our portable reader, so that the Windows
// run proves the two agree.
#include <gtest/gtest.h>

#include "settings/CIniFile.h"
#include "support/test_system.h"

using tessaro::test::TestSystem;

namespace {

enum class Reader { Native, Portable };

class IniTest : public ::testing::TestWithParam<Reader> {
protected:
    void SetUp() override {
        if (GetParam() == Reader::Portable) {
            portable = tessaro::MakePortableIniReader();
            tessaro::System s;
            s.ini = portable.get();
            sys.Install(s);
        }
    }
    CIniFile Open() {
        CIniFile ini;
        std::string path;
        EXPECT_TRUE(ini.FindIniFile(path));
        ini.SetFileName(path);
        return ini;
    }
    TestSystem sys;
    std::unique_ptr<tessaro::IIni> portable;
};

TEST_P(IniTest, FindsNoIniFileInAnEmptyFolder) {
    CIniFile ini;
    std::string path = "stale";
    EXPECT_FALSE(ini.FindIniFile(path));
    EXPECT_EQ(path, "");
}

TEST_P(IniTest, SeveralIniFilesGiveTheFirstInNameOrder) {
    sys.WriteFile("program/b.ini", "[VX7100]\nDbgMode=2\n");
    sys.WriteFile("program/A.ini", "[VX7100]\nDbgMode=1\n");
    sys.WriteFile("program/c.txt", "");
    CIniFile ini;
    std::string path;
    ASSERT_TRUE(ini.FindIniFile(path));
    EXPECT_EQ(path, sys.ProgramFolder() + "A.ini");
}

TEST_P(IniTest, NamesMatchWithoutRegardToCaseAndValuesAreTrimmed) {
    sys.WriteIni("[vx7100]\n  EnterIsp =  3  \nUUUIsp=\"yes\"\n[Other]\nKey=x\n");
    CIniFile ini = Open();
    EXPECT_EQ(ini.GetString("enterisp", "VX7100"), "3");
    EXPECT_EQ(ini.GetString("ENTERISP", "Vx7100"), "3");
    EXPECT_EQ(ini.GetString("UUUIsp", "VX7100"), "yes");
    EXPECT_EQ(ini.GetString("Missing", "VX7100"), "");
    EXPECT_EQ(ini.GetString("Key", "Missing"), "");
    EXPECT_EQ(ini.GetString("Key", "VX7100"), "");
}

TEST_P(IniTest, LongValuesAreCutTo254Characters) {
    sys.WriteIni("[VX7100]\nConfigUI=" + std::string(300, 'a') + "\n");
    CIniFile ini = Open();
    EXPECT_EQ(ini.GetString("ConfigUI", "VX7100"), std::string(254, 'a'));
    EXPECT_EQ(ini.LastCount(), 254);
}

TEST_P(IniTest, ASectionWithoutKeysCountsAsMissing) {
    sys.WriteIni("[Hub1]\n\n[Hub2]\nBinFile=a.bin\n");
    CIniFile ini = Open();
    EXPECT_FALSE(ini.SectionExists("Hub1"));
    EXPECT_TRUE(ini.SectionExists("hub2"));
    EXPECT_FALSE(ini.SectionExists("Hub3"));
}

TEST_P(IniTest, ReadSectionListsNonEmptyLinesInOrderAndReplacesTheLastList) {
    sys.WriteIni("[FlashInfo]\nw25=EF 30 13\n\n   \nmx=C2 20 10\nsst=BF 25 8D\n[Other]\na=1\n");
    CIniFile ini = Open();
    std::vector<std::string> lines = ini.ReadSection("FlashInfo");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "w25=EF 30 13");
    EXPECT_EQ(lines[1], "mx=C2 20 10");
    EXPECT_EQ(lines[2], "sst=BF 25 8D");
    lines = ini.ReadSection("Other");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "a=1");
    EXPECT_TRUE(ini.ReadSection("Missing").empty());
}

TEST_P(IniTest, ASectionLongerThanTheBufferListsWholeLinesOnly) {
    std::string text = "[FlashInfo]\n";
    std::vector<std::string> written;
    for (int i = 0; i < 120; ++i) {
        std::string line = "part" + std::to_string(i) + "=01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11";
        written.push_back(line);
        text += line + "\n";
    }
    sys.WriteIni(text);
    CIniFile ini = Open();
    std::vector<std::string> lines = ini.ReadSection("FlashInfo");
    ASSERT_GT(lines.size(), 50u);
    ASSERT_LT(lines.size(), written.size());
    for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i], written[i]);
}

TEST_P(IniTest, AnEditIsSeenAtTheNextRead) {
    sys.WriteIni("[VX7100]\nDbgMode=1\n");
    CIniFile ini = Open();
    EXPECT_EQ(ini.GetString("DbgMode", "VX7100"), "1");
    sys.WriteIni("[VX7100]\nDbgMode=0\n");
    EXPECT_EQ(ini.GetString("DbgMode", "VX7100"), "0");
    sys.WriteIni("[VX7100]\nDbgMode=12\n");
    EXPECT_EQ(ini.GetString("DbgMode", "VX7100"), "12");
}

INSTANTIATE_TEST_SUITE_P(Readers, IniTest, ::testing::Values(Reader::Native, Reader::Portable),
                         [](const ::testing::TestParamInfo<Reader>& info) {
                             return info.param == Reader::Native ? "Native" : "Portable";
                         });

TEST(IniValues, IntegerSwitchAndYesConventions) {
    EXPECT_EQ(CIniFile::ToInt("  12abc"), 12);
    EXPECT_EQ(CIniFile::ToInt("-3"), -3);
    EXPECT_EQ(CIniFile::ToInt("abc"), 0);
    EXPECT_EQ(CIniFile::ToInt(""), 0);
    EXPECT_TRUE(CIniFile::IsSwitchOne("1"));
    EXPECT_FALSE(CIniFile::IsSwitchOne("yes"));
    EXPECT_FALSE(CIniFile::IsSwitchOne("01"));
    EXPECT_TRUE(CIniFile::IsYesOrOne("YES"));
    EXPECT_TRUE(CIniFile::IsYesOrOne("1"));
    EXPECT_FALSE(CIniFile::IsYesOrOne("y"));
}

}  // namespace

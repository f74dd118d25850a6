// The INI reader, run against both the reader of this build (the system's
// profile functions on Windows) and our portable reader, so that the Windows
// run proves the two agree.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

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

// Lists into buffers around their exact size: a list that fills the buffer to
// the last byte (or one byte short, with another item following) is cut the
// way Windows cuts it, and nothing is written past the buffer.  '|' stands
// for a NUL in the expected text.
TEST_P(IniTest, ListsAtTheEdgeOfTheBufferAreCutInsideIt) {
    sys.WriteIni("[P]\nab=1\ncd=2\n[Q]\nab=1\ncd=2\nef=3\n");
    enum Kind { Keys, Sections, Lines };
    struct Case {
        Kind kind;
        const char* section;
        uint32_t size;
        uint32_t count;
        const char* text;
    } cases[] = {
        {Keys, "P", 8, 6, "ab|cd|"},      // room to spare
        {Keys, "P", 7, 5, "ab|cd"},       // fills the buffer exactly
        {Keys, "P", 6, 4, "ab|c"},
        {Keys, "Q", 7, 5, "ab|cd"},       // one byte short, another key follows
        {Keys, "Q", 8, 6, "ab|cd|"},      // two bytes short, another key follows
        {Keys, "Q", 11, 9, "ab|cd|ef|"},
        {Keys, "Q", 2, 0, ""},
        {Keys, "Q", 1, 0, ""},
        {Sections, nullptr, 3, 1, "P"},   // one byte short, another section follows
        {Sections, nullptr, 4, 2, "P|"},
        {Sections, nullptr, 5, 3, "P|Q"},  // fills the buffer exactly
        {Sections, nullptr, 6, 4, "P|Q|"},
        {Lines, "P", 12, 10, "ab=1|cd=2|"},
        {Lines, "P", 11, 9, "ab=1|cd=2"},  // fills the buffer exactly
        {Lines, "Q", 11, 9, "ab=1|cd=2"},  // one byte short, another line follows
        {Lines, "Q", 12, 10, "ab=1|cd=2|"},
        {Lines, "Q", 17, 15, "ab=1|cd=2|ef=3|"},
    };
    const std::string file = sys.ProgramFolder() + "tessaro.ini";
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.kind == Keys ? "keys of " : c.kind == Lines ? "lines of " : "sections ") +
                     (c.section ? c.section : "") + " in " + std::to_string(c.size));
        constexpr uint32_t kGuard = 16;
        std::vector<char> buf(c.size + kGuard, '#');
        uint32_t n = c.kind == Lines
                         ? tessaro::Sys().ini->GetSection(c.section, buf.data(), c.size, file.c_str())
                         : tessaro::Sys().ini->GetString(c.section, nullptr, "", buf.data(), c.size, file.c_str());
        EXPECT_EQ(n, c.count);
        std::string got(buf.data(), std::min<uint32_t>(n, c.size));
        std::replace(got.begin(), got.end(), '\0', '|');
        EXPECT_EQ(got, c.text);
        if (n < c.size) {
            EXPECT_EQ(buf[n], '\0');
        }
        EXPECT_EQ(std::string(buf.end() - kGuard, buf.end()), std::string(kGuard, '#'));
    }
}

// The same edges through the reader class: key names of 89 bytes in the
// 90-byte list, and 4999 bytes of lines in the 5000-byte section read, each
// followed by one more.
TEST_P(IniTest, SectionsFillingTheReadersBuffersStayReadable) {
    std::string text = "[Hub1]\n";
    for (int i = 0; i < 7; ++i) text += "Key" + std::string(6, char('a' + i)) + "X=1\n";  // 7 x 11 bytes
    text += "LongKeyName";                                                               // 12 bytes
    text += "=1\nBinFile=a.bin\n[FlashInfo]\n";
    std::vector<std::string> written;
    size_t bytes = 0;
    for (int i = 0; bytes < 4999; ++i) {
        std::string line = "part" + std::to_string(1000 + i) + "=01 02 03 04 05 06 07 08 09 0A 0B 0C";
        if (bytes + line.size() + 1 > 4999) line.resize(4999 - bytes - 1, '0');
        bytes += line.size() + 1;
        written.push_back(line);
        text += line + "\n";
    }
    text += "last=EF 40 17\n";
    sys.WriteIni(text);
    CIniFile ini = Open();
    EXPECT_TRUE(ini.SectionExists("Hub1"));
    EXPECT_EQ(ini.LastCount(), 88);
    std::vector<std::string> lines = ini.ReadSection("FlashInfo");
    EXPECT_EQ(ini.LastCount(), 4998);
    // The buffer is full, so its last line may be cut: only the lines before it count.
    written.pop_back();
    EXPECT_EQ(lines, written);
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

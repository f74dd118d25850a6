// The mask-ROM example of docs/bench.md, bench text and INI as the page
// gives them, identified the way the dialogs detect hubs.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>

#include "hub/CHubIsp.h"
#include "platform/ports.h"
#include "support/bench_system.h"

using tessaro::test::BenchSystem;

namespace {

struct Block {
    std::string info;  // "ini" or empty (a bench file)
    std::string text;
};

// The fenced blocks of one section of docs/bench.md, in page order.
std::vector<Block> SectionBlocks(const std::string& heading) {
    std::string root = tessaro::GetEnv("TESSARO_TEST_SOURCE");
    if (root.empty()) {
        root = __FILE__;
        for (int up = 0; up < 3; ++up) root = root.substr(0, root.find_last_of("\\/"));
    }
    std::ifstream in(root + "/docs/bench.md", std::ios::binary);
    const std::string page((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<Block> blocks;
    const size_t start = page.find(heading + "\n");
    if (start == std::string::npos) return blocks;
    const size_t end = page.find("\n### ", start + heading.size());
    std::istringstream lines(page.substr(start, end == std::string::npos ? std::string::npos : end - start));
    std::string line;
    bool inside = false;
    while (std::getline(lines, line)) {
        if (line.rfind("```", 0) == 0) {
            if (!inside) blocks.push_back(Block{line.substr(3), std::string()});
            inside = !inside;
        } else if (inside) {
            blocks.back().text += line + "\n";
        }
    }
    return blocks;
}

TEST(MaskRomExample, IdentifiesWithTheIniAsThePageGivesIt) {
    const std::vector<Block> blocks = SectionBlocks("### A hub running its mask ROM");
    ASSERT_FALSE(blocks.empty()) << "docs/bench.md not found or the section is gone";
    std::string ini;  // what the page has asked the INI to hold so far
    int benches = 0;
    for (const Block& b : blocks) {
        if (b.info == "ini") {
            ini += b.text;
            continue;
        }
        ++benches;
        for (bool withIni : {false, true}) {
            BenchSystem sys;
            sys.WriteIni(withIni ? ini : std::string());
            sys.Bench(b.text).SaveAtExit(false);
            CHubIsp isp;
            isp.m_quiet = 1;
            const int type = isp.GetChipType(0, 1);
            if (withIni || ini.empty()) {
                EXPECT_EQ(type, CHIP_ID_VX2240_EEPROM) << isp.m_lasterror << "\n" << b.text;
                EXPECT_EQ(isp.IsMaskRom(0), 1);
            } else {
                // The page says why the INI line is needed.
                EXPECT_EQ(type, CHIP_ID_UNKNOWN) << b.text;
                EXPECT_EQ(isp.m_lasterror, "Determine hub part number failed!");
            }
        }
    }
    EXPECT_EQ(benches, 2);
}

}  // namespace

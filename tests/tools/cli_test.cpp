// tessaro-cli as engineers and scripts use it: on a bench named by
// TESSARO_BENCH, with its diagnostic trace in TESSARO_DEBUG_LOG.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "hub/CHubIsp.h"
#include "support/programs.h"
#include "support/test_system.h"

using tessaro::test::BuildProgram;
using tessaro::test::RunProgram;
using tessaro::test::TestSystem;

namespace {

std::string NoCr(std::string s) {
    std::string out;
    for (char c : s)
        if (c != '\r') out.push_back(c);
    return out;
}

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        sys.WriteFile("t.ini",
                      "[VX7100]\nDbgMode=1\n[FlashInfo]\nW25=9F 03 EF 30 13 C7 40 01 00 00 00 02 00 00 00 00 00 00\n");
        sys.WriteFile("b.bench",
                      "guid sequence 3\n"
                      "flash W25\n  size 64K\n  id 9F 1 EF 30 13\n  erase C7\nend\n"
                      "hub Main\n  store spi W25\n  put 0x1D0 text \"VXI2240\"\n  put 0 hex 01 02 03 04 05 06 07 08 09\n"
                      "  save after.rom\n  function vid 0x2C7E pid 0x0B40 bcd-usb 0x0210 handle 7\nend\n"
                      "hub Lite\n  store eeprom 256\n  put 0x1C text \"EROM\"\n"
                      "  function vid 0x2C7E pid 0x0B47 bcd-device 0x0105 bcd-usb 0x0210 handle 9\nend\n");
    }
    // On Windows the debug log is a bare name kept beside the program: the
    // program runs from a copy in the test's folder.
    tessaro::test::ProgramRun Cli(const std::string& args, const std::string& bench = "b.bench",
                                  const std::string& debugLog = "debug.log") {
#if defined(_WIN32)
        const std::string program = sys.Native("tessaro-cli.exe");
        if (!std::filesystem::exists(program))
            std::filesystem::copy_file(BuildProgram("tools/tessaro-cli"), program);
        const std::string log = debugLog;
#else
        const std::string program = BuildProgram("tools/tessaro-cli");
        const std::string log = sys.Native(debugLog);
#endif
        return RunProgram(program, "--ini \"" + sys.Native("t.ini") + "\" " + args,
                          {{"TESSARO_BENCH", sys.Native(bench)}, {"TESSARO_DEBUG_LOG", log}}, sys.Root());
    }
    TestSystem sys;
};

TEST_F(CliTest, ListPrintsEveryHubOfTheEnumeration) {
    auto run = Cli("list");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(NoCr(run.out),
              "2 hub(s)\n"
              "hub 0: handle 7, type 1, VID 2C7E, PID 0B40, bcdDevice 0100, bcdUSB 0210\n"
              "hub 1: handle 9, type 1, VID 2C7E, PID 0B47, bcdDevice 0105, bcdUSB 0210\n");
    EXPECT_NE(run.err.find("b.bench"), std::string::npos) << "the bench says it is in use";
}

TEST_F(CliTest, ARequestLeavesItsTraceInTheDebugLog) {
    auto run = Cli("request --hub 0 --type 0xC0 --request 0x82 --value 0 --index 0 --length 9");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(NoCr(run.out), "01 02 03 04 05 06 07 08 09\n");
    std::string log = sys.ReadText("debug.log");
    EXPECT_NE(log.find("\t\t#handle   0007\r\n\t\t#SerialNo 0000\r\n\t\t#Type     00c0\r\n\t\t#Request  0082\r\n"
                       "\t\t#Value    0000\r\n\t\t#Index    0000\r\n\t\t#Length   0009\r\n"
                       "\t\t01 02 03 04 05 06 07 08 \n\t\t09 \n\r\n"),
              std::string::npos)
        << log;
}

#if defined(_WIN32)
// The variable is anybody's while the program may run as administrator: a
// path is refused, and nothing is written there.
TEST_F(CliTest, ADebugLogPathIsRefusedOnWindows) {
    const std::string outside = sys.Native("elsewhere\\debug.log");
    std::filesystem::create_directories(sys.Native("elsewhere"));
    auto run = Cli("request --hub 0 --type 0xC0 --request 0x82 --value 0 --index 0 --length 9", "b.bench", outside);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_FALSE(std::filesystem::exists(outside));
    EXPECT_NE(run.err.find("TESSARO_DEBUG_LOG must be a bare file name, kept in the program folder (no folder); \"" +
                           outside + "\" ignored"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(run.err.find("must be a bare"), run.err.rfind("must be a bare")) << "said once";
}
#endif

TEST_F(CliTest, IdentifyAndUpdateOnTheBench) {
    auto id = Cli("identify --hub 1");
    EXPECT_EQ(id.exitCode, 0) << id.err;
    EXPECT_NE(NoCr(id.out).find("HubType 4 CHIP_ID_VX2240_EEPROM_LITE"), std::string::npos) << id.out;

    std::vector<uint8_t> image(0x5000);
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 3);
    std::memcpy(image.data() + 0x1D0, "VXI2240", 7);
    sys.WriteFile("fw.bin", image);
    auto up = Cli("update --hub 0 \"" + sys.Native("fw.bin") + "\"");
    EXPECT_EQ(up.exitCode, 0) << up.err;
    EXPECT_NE(NoCr(up.out).find("Firmware update successfully!"), std::string::npos);
    std::vector<uint8_t> store;
    ASSERT_TRUE(sys.ReadFile("after.rom", store));
    ASSERT_GE(store.size(), 0x5000u);
    uint16_t sum = CalcChecksum(store.data(), 0x4FFE);
    EXPECT_EQ(store[0x4FFE], sum >> 8);
    EXPECT_EQ(store[0x4FFF], sum & 0xFF);
    EXPECT_TRUE(std::equal(store.begin() + 0x1D0, store.begin() + 0x1D7, image.begin() + 0x1D0));
    EXPECT_FALSE(std::equal(store.begin() + 0x1C0, store.begin() + 0x1D0, image.begin() + 0x1C0))
        << "the container ID is stamped";
}

TEST_F(CliTest, FailuresGoToStandardErrorWithExitCode1) {
    sys.WriteFile("none.bench", "driver missing\n");
    auto run = Cli("list", "none.bench");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("Device or driver is not found!"), std::string::npos) << run.err;
    sys.WriteFile("bad.bench", "hub X\n  stroe spi\nend\n");
    run = Cli("list", "bad.bench");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("bad.bench:2"), std::string::npos) << run.err;
}

TEST_F(CliTest, ListWithoutHubsSaysSoAndSucceeds) {
    sys.WriteFile("empty.bench", "device Mouse\n  function type 0 vid 0x046D pid 0xC077\nend\n");
    auto run = Cli("list", "empty.bench");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(NoCr(run.out), "no hub found\n");
}

TEST_F(CliTest, NoSubcommandEverAsksForAMessageBox) {
    // Failures that make the engine reach for its "ISP ERROR" box when it is
    // not quiet: every one must end as a line on standard error and exit 1.
    std::vector<uint8_t> image(0x5000, 0xFF);
    std::memcpy(image.data() + 0x1D0, "VXI2240", 7);
    sys.WriteFile("fw.bin", image);
    sys.WriteFile("writes-fail.bench", sys.ReadText("b.bench") + "fault fail request 0x83\n");
    sys.WriteFile("isp-fails.bench", sys.ReadText("b.bench") + "fault fail request 0x81\n");
    const std::string fw = " \"" + sys.Native("fw.bin") + "\"";
    struct Case {
        const char* args;
        const char* bench;
    } cases[] = {
        {"update --hub 0", "writes-fail.bench"},
        {"update --hub 0", "isp-fails.bench"},
        {"update --hub 5", "b.bench"},
        {"identify --hub 5", "b.bench"},
        {"identify --hub 0", "isp-fails.bench"},
        {"erase --hub 0", "isp-fails.bench"},
        {"read --hub 5 --mode 1 --length 144 -o out.bin", "b.bench"},
        {"reset --hub 0", "isp-fails.bench"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.args) + " on " + c.bench);
        const std::string args = std::string(c.args) + (std::string(c.args).rfind("update", 0) == 0 ? fw : "");
        auto run = Cli(args, c.bench);
        EXPECT_EQ(run.exitCode, 1) << run.out;
        EXPECT_NE(run.err.find("tessaro-cli: "), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("message box"), std::string::npos) << run.err;
    }
}

}  // namespace

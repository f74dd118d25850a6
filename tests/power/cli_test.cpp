// tessaro-cli's driver, suspend and find-hub commands, run as the program on
// a bench file, as an engineer would.
#include <gtest/gtest.h>

#include <fstream>

#include "support/programs.h"
#include "support/test_system.h"

using tessaro::test::BuildProgram;
using tessaro::test::RunProgram;

namespace {

std::string NoCr(const std::string& s) {
    std::string out;
    for (char c : s)
        if (c != '\r') out.push_back(c);
    return out;
}

class PowerCliTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_cli = BuildProgram("tools/tessaro-cli");
        if (!std::ifstream(m_cli).good()) GTEST_SKIP() << "tessaro-cli is not built";
        sys.WriteFile("program/t.ini", "[VX7100]\nDbgMode=0\n");
    }
    tessaro::test::ProgramRun Cli(const std::string& args, const std::string& bench) {
        sys.WriteFile("t.bench", "box quiet\nprogram program/Tessaro.exe\ndrive-c drive_c\ndesktop desktop\n" + bench);
        return RunProgram(m_cli, "--ini \"" + sys.Native("program/t.ini") + "\" " + args,
                          {{"TESSARO_BENCH", sys.Native("t.bench")}}, sys.Root());
    }
    tessaro::test::TestSystem sys;

private:
    std::string m_cli;
};

const std::string kHub =
    "hub Main\n  store eeprom 256\n  bcd-device 0x9223\n"
    "  function vid 0x2C7E pid 0x0B40 instance 6&2b&0&4\n  enum USB\\VID_2C7E&PID_0B40 selective-suspend 1\nend\n";

TEST_F(PowerCliTest, DriverComparesTheInstalledVersionWithThePackage) {
    auto run = Cli("driver", "machine 32-bit\ndriver installed version 2.99\nsetup package VXUSBFLT_SETUP_V3.00.exe\n");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const std::string out = NoCr(run.out);
    EXPECT_NE(out.find("Windows: 32-bit"), std::string::npos) << out;
    EXPECT_NE(out.find("installed: 2.99"), std::string::npos) << out;
    EXPECT_NE(out.find("VXUSBFLT_SETUP_V3.00.exe (version 3.000000)"), std::string::npos) << out;
    EXPECT_NE(out.find("check: 2,"), std::string::npos) << out;

    sys.Remove("program/VXUSBFLT_SETUP_V3.00.exe");
    run = Cli("driver", "driver missing\n");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(NoCr(run.out).find("installed: none"), std::string::npos);
    EXPECT_NE(run.err.find("driver file is missing!"), std::string::npos) << run.err;
    EXPECT_FALSE(sys.Exists("desktop/USBHubUpdate.log")) << "a look at the driver records no result";
}

TEST_F(PowerCliTest, SuspendFollowsTheWayAndFindHubReadsTheHardwareId) {
    auto run = Cli("suspend off", "os 6.1.7601 sp 1\n" + kHub);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(NoCr(run.out), "way: per device\nhub 0: EnableSelectiveSuspend 0\n");
    run = Cli("suspend on --hub 0", "os 6.2.9200\n" + kHub);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(NoCr(run.out), "way: power plan\npower plan: USB selective suspend on for AC and DC\n");
    run = Cli("suspend off --hub 2", "os 6.1.7601 sp 1\n" + kHub);
    EXPECT_EQ(run.exitCode, 1);
    run = Cli("suspend sideways", kHub);
    EXPECT_EQ(run.exitCode, 1);

    run = Cli("find-hub", kHub);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(NoCr(run.out), "\nUSB3.0 Hub is found.\nVID 2c7e, PID 0b40, revision 9223\n");
    run = Cli("find-hub", "");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(NoCr(run.out), "\nERROR!! Can't find USB3.0 Hub!\n");
}

}  // namespace

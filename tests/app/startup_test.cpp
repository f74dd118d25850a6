#include <gtest/gtest.h>

#include <cstring>

#include "app/CTessaroApp.h"
#include "app/frontends.h"
#include "platform/winconst.h"
#include "support/test_system.h"

using tessaro::test::TestSystem;

namespace {

std::string g_ran;

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved = frontends::Registered();
        frontends::Registered() = frontends::Entries{
            [](CTessaroApp&) { g_ran = "update"; }, [](CTessaroApp&) { g_ran = "console"; },
            [](CTessaroApp&) { g_ran = "phy"; },    [](CTessaroApp&) { g_ran = "multi"; },
            [](CTessaroApp&) { g_ran = "main"; }};
        g_ran.clear();
    }
    void TearDown() override { frontends::Registered() = saved; }
    std::string Start(const std::string& ini) {
        sys.WriteIni(ini);
        g_ran.clear();
        CTessaroApp app;
        EXPECT_FALSE(app.InitInstance(""));
        return g_ran;
    }
    TestSystem sys{"tessaro"};
    frontends::Entries saved;
};

TEST_F(StartupTest, WithoutIniFileOnlyTheMessageIsShown) {
    CTessaroApp app;
    EXPECT_FALSE(app.InitInstance(""));
    EXPECT_EQ(g_ran, "");
    ASSERT_EQ(sys.box.Boxes().size(), 1u);
    EXPECT_EQ(sys.box.Boxes()[0].text, "Cannot find INI file! Check if it is placed with the tool. Exit program!");
    EXPECT_EQ(sys.box.Boxes()[0].caption, "tessaro");
}

TEST_F(StartupTest, ModePrecedence) {
    EXPECT_EQ(Start("[VX7100]\nEUserMode=1\n[MPOption]\nConsoleMode=1\n"), "update");
    EXPECT_EQ(Start("[VX7100]\nEUserMode=0\nPhyAccess=1\n[MPOption]\nConsoleMode=2\n"), "console");
    EXPECT_EQ(Start("[VX7100]\nPhyAccess=1\nMultiMode=1\n"), "phy");
    EXPECT_EQ(Start("[VX7100]\nPhyAccess=2\nMultiMode=1\n"), "multi");
    EXPECT_EQ(Start("[VX7100]\nMultiMode=2\n"), "main");
    EXPECT_EQ(Start("[VX7100]\nEUserMode=x\n[MPOption]\nConsoleMode=-1\n"), "main");
    EXPECT_EQ(Start("[VX7100]\nDbgMode=1\n"), "main");
}

TEST_F(StartupTest, AModeThisBuildLacksIsReportedNotFaked) {
    frontends::Registered() = frontends::Entries{};
    Start("[MPOption]\nConsoleMode=1\n");
    EXPECT_NE(sys.console.Output().find("not available"), std::string::npos);
    Start("[VX7100]\nMultiMode=0\n");
    ASSERT_FALSE(sys.box.Boxes().empty());
    EXPECT_NE(sys.box.Boxes().back().style & tessaro::win::kMbIconError, 0u);
}

TEST(OsVersion, TheRecordIsClearedAndSized) {
    TestSystem sys;
    sys.os.Set(6, 1, 1);
    tessaro::OsVersionInfoEx info;
    std::memset(&info, 0xAB, sizeof info);
    ASSERT_TRUE(CTessaroApp::GetOsVersion(info));
    EXPECT_EQ(info.dwOSVersionInfoSize, 156u);
    EXPECT_EQ(info.dwMajorVersion, 6u);
    EXPECT_EQ(info.dwMinorVersion, 1u);
    EXPECT_EQ(info.wServicePackMajor, 1);
}

}  // namespace

#include <gtest/gtest.h>

#include "platform/winconst.h"
#include "settings/DebugLog.h"
#include "support/test_system.h"

using tessaro::test::TestSystem;

namespace {

TEST(DebugLog, SilentWithoutIniOrWithDbgModeZeroOrMissing) {
    TestSystem sys;
    DebugLog("no ini %d", 1);
    sys.WriteIni("[VX7100]\nDbgMode=0\n");
    DebugLog("zero");
    sys.WriteIni("[VX7100]\nOther=1\n");
    DebugLog("missing");
    sys.WriteIni("[VX7100]\nDbgMode=abc\n");
    DebugLog("not a number");
    EXPECT_EQ(sys.debug.All(), "");
}

TEST(DebugLog, FormatsOneLineWithCrLfAndFollowsTheSwitchAtEveryCall) {
    TestSystem sys;
    sys.WriteIni("[VX7100]\nDbgMode=1\n");
    DebugLog("Found %d Device(s)", 3);
    DebugLog("OpenDevice ERROR!\n");
    sys.WriteIni("[VX7100]\nDbgMode=0\n");
    DebugLog("after the switch");
    EXPECT_EQ(sys.debug.All(), "Found 3 Device(s)\r\nOpenDevice ERROR!\n\r\n");
}

TEST(DebugLog, LongMessagesAreCutTo510Characters) {
    TestSystem sys;
    sys.WriteIni("[VX7100]\nDbgMode=2\n");
    DebugLog("%s", std::string(600, 'x').c_str());
    EXPECT_EQ(sys.debug.All(), std::string(510, 'x') + "\r\n");
}

TEST(ResultLog, HoldsOnlyTheLastResultWithoutLineEnd) {
    TestSystem sys;
    EXPECT_TRUE(WriteResultLog(Success));
    EXPECT_EQ(sys.ReadText("desktop/USBHubUpdate.log"), "SUCCESS");
    EXPECT_TRUE(WriteResultLog(Fail));
    EXPECT_EQ(sys.ReadText("desktop/USBHubUpdate.log"), "FAIL");
    EXPECT_TRUE(WriteResultLog(7));
    EXPECT_TRUE(sys.Exists("desktop/USBHubUpdate.log"));
    EXPECT_EQ(sys.ReadText("desktop/USBHubUpdate.log"), "");
}

TEST(ResultLog, FailuresAreOnlyLogged) {
    TestSystem sys;
    sys.WriteIni("[VX7100]\nDbgMode=1\n");
    sys.desktop->Fail(true);
    EXPECT_FALSE(WriteResultLog(Success));
    EXPECT_TRUE(sys.debug.Contains("SHGetFolderPath fails, cannot create log file.\r\n"));
    sys.desktop->Fail(false);
    sys.desktop = std::make_unique<tessaro::test::FixedDesktop>(sys.Native("no/such/folder"));
    tessaro::System s;
    s.shell = sys.desktop.get();
    sys.Install(s);
    EXPECT_FALSE(WriteResultLog(Fail));
    EXPECT_TRUE(sys.debug.Contains("Couldn't open log file: "));
    EXPECT_TRUE(sys.box.Boxes().empty());
}

TEST(ShowLastError, ShowsTheSystemTextOfTheLastError) {
    TestSystem sys;
    sys.WriteIni("[VX7100]\nDbgMode=1\n");
    tessaro::SetLastError(tessaro::win::kErrFileNotFound);
    ShowLastError();
    ASSERT_EQ(sys.box.Boxes().size(), 1u);
    const auto box = sys.box.Boxes()[0];
    EXPECT_EQ(box.caption, "Error");
    EXPECT_EQ(box.style, tessaro::win::kMbSystemModal | tessaro::win::kMbIconInformation);
    EXPECT_FALSE(box.text.empty());
    EXPECT_EQ(box.text, tessaro::Sys().errors->Text(tessaro::win::kErrFileNotFound));
    EXPECT_TRUE(sys.debug.Contains("ERROR = 2\r\n"));
}

}  // namespace

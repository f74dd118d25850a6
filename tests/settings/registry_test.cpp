#include <gtest/gtest.h>

#include "platform/winconst.h"
#include "settings/CRegistry.h"
#include "support/test_system.h"

using tessaro::test::TestSystem;
namespace win = tessaro::win;

namespace {

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        sys.registry.CreatePath("HKEY_LOCAL_MACHINE\\HARDWARE");
        sys.registry.CreatePath("HKEY_LOCAL_MACHINE\\SOFTWARE\\X\\Y");
        sys.registry.CreatePath("HKEY_LOCAL_MACHINE\\SOFTWARE\\Varnel Logic\\Driver\\3.00");
    }
    TestSystem sys;
};

TEST_F(RegistryTest, StartsAtTheLocalMachineRoot) {
    CRegistry reg(win::kKeyAllAccess);
    EXPECT_EQ(reg.CurrentPath(), "HKEY_LOCAL_MACHINE\\");
    std::string first;
    ASSERT_TRUE(reg.GetFirstSubKey(first));
    EXPECT_EQ(first, "HARDWARE");
}

TEST_F(RegistryTest, RelativeMovesAppendAndAFailedMoveChangesNothing) {
    CRegistry reg(win::kKeyAllAccess);
    EXPECT_FALSE(reg.SetPath("SOFTWARE\\Nope", win::kKeyAllAccess));
    EXPECT_EQ(reg.CurrentPath(), "HKEY_LOCAL_MACHINE\\");
    ASSERT_TRUE(reg.SetPath("SOFTWARE\\X", win::kKeyAllAccess));
    ASSERT_TRUE(reg.SetPath(" Y ", win::kKeyAllAccess));
    EXPECT_EQ(reg.CurrentPath(), "HKEY_LOCAL_MACHINE\\SOFTWARE\\X\\Y\\");
    EXPECT_FALSE(reg.SetPath("", win::kKeyAllAccess));
}

TEST_F(RegistryTest, ParentRootAndAbsoluteMoves) {
    CRegistry reg(win::kKeyAllAccess);
    ASSERT_TRUE(reg.SetPath("SOFTWARE\\X\\Y", win::kKeyAllAccess));
    ASSERT_TRUE(reg.SetPath("..", win::kKeyAllAccess));
    EXPECT_EQ(reg.CurrentPath(), "HKEY_LOCAL_MACHINE\\SOFTWARE\\X\\");
    std::string sub;
    ASSERT_TRUE(reg.GetFirstSubKey(sub));
    EXPECT_EQ(sub, "Y");
    ASSERT_TRUE(reg.SetPath("\\", win::kKeyAllAccess));
    EXPECT_EQ(reg.CurrentPath(), "HKEY_LOCAL_MACHINE\\");
    ASSERT_TRUE(reg.SetPath("\\HKEY_LOCAL_MACHINE\\SOFTWARE\\Varnel Logic\\Driver", win::kKeyAllAccess));
    ASSERT_TRUE(reg.GetFirstSubKey(sub));
    EXPECT_EQ(sub, "3.00");
}

TEST_F(RegistryTest, ValuesAndKeyCreation) {
    CRegistry reg(win::kKeyAllAccess);
    ASSERT_TRUE(reg.SetPath("SOFTWARE", win::kKeyAllAccess));
    ASSERT_TRUE(reg.CreateKey("\\Varnellogic\\VX7100", win::kKeyAllAccess));
    EXPECT_EQ(reg.Disposition(), win::kRegCreatedNewKey);
    ASSERT_TRUE(reg.CreateKey("Varnellogic\\VX7100", win::kKeyAllAccess));
    EXPECT_EQ(reg.Disposition(), win::kRegOpenedExistingKey);
    ASSERT_TRUE(reg.SetPath("Varnellogic\\VX7100", win::kKeyAllAccess));
    ASSERT_TRUE(reg.SetValue("Name", win::kRegSz, "abc"));
    uint32_t one = 1;
    ASSERT_TRUE(reg.SetValue("MergeConfig", win::kRegDword, &one));
    uint8_t buf[16] = {};
    uint32_t type = 0, size = sizeof buf;
    ASSERT_TRUE(reg.QueryValue("Name", &type, buf, &size));
    EXPECT_EQ(type, win::kRegSz);
    EXPECT_EQ(size, 3u);
    uint32_t value = 0;
    ASSERT_TRUE(sys.registry.GetDword("HKEY_LOCAL_MACHINE\\SOFTWARE\\Varnellogic\\VX7100", "MergeConfig", value));
    EXPECT_EQ(value, 1u);
    std::string untouched = "keep";
    EXPECT_FALSE(reg.GetFirstSubKey(untouched));
    EXPECT_EQ(untouched, "keep");
}

}  // namespace

// The file TESSARO_DEBUG_LOG names.  On Windows the tool runs as
// administrator and the variable is anybody's: only a bare name is taken,
// and the file is kept in the program folder.
#include <gtest/gtest.h>

#include "platform/debug_file.h"

using tessaro::DebugLogFile;
using tessaro::DebugLogNames;

namespace {

TEST(DebugLogFile, OnlyABareNameIsKeptInTheProgramFolder) {
    const std::string folder = "C:\\Tools\\Tessaro\\";
    struct Case {
        const char* value;
        const char* why;  // empty: accepted
    } cases[] = {
        {"trace.log", ""},
        {"trace", ""},
        {"console.log", ""},  // a name that merely begins like a device
        {"", "it is empty"},
        {"C:\\Windows\\win.ini", "no folder"},
        {"\\\\server\\share\\x.log", "no folder"},
        {"logs/trace.log", "no folder"},
        {"C:trace.log", "no drive or stream"},
        {"trace.log:hidden", "no drive or stream"},
        {"..", "no \"..\""},
        {"trace..log", "no \"..\""},
        {"trace*.log", "a character no file name has"},
        {"tr\nace.log", "a character no file name has"},
        {"NUL", "a device name"},
        {"con.log", "a device name"},
        {"COM1.txt", "a device name"},
        {"lpt9", "a device name"},
    };
    for (const Case& c : cases) {
        std::string path = "unchanged", refusal;
        const bool ok = DebugLogFile(c.value, DebugLogNames::BareNameInFolder, folder, path, refusal);
        EXPECT_EQ(ok, *c.why == '\0') << c.value;
        if (ok) {
            EXPECT_EQ(path, folder + c.value);
            EXPECT_EQ(refusal, "");
        } else {
            EXPECT_EQ(path, "unchanged") << c.value;
            EXPECT_EQ(refusal, std::string("TESSARO_DEBUG_LOG must be a bare file name, kept in the program folder (") +
                                   c.why + "); \"" + c.value + "\" ignored\n");
        }
    }
    std::string path, refusal;
    ASSERT_TRUE(DebugLogFile("t.log", DebugLogNames::BareNameInFolder, "C:\\Tools", path, refusal));
    EXPECT_EQ(path, "C:\\Tools\\t.log");
}

TEST(DebugLogFile, NativelyAnyPathIsTheFile) {
    std::string path, refusal;
    ASSERT_TRUE(DebugLogFile("/tmp/x/../trace.log", DebugLogNames::AnyPath, "ignored", path, refusal));
    EXPECT_EQ(path, "/tmp/x/../trace.log");
    EXPECT_EQ(refusal, "");
}

}  // namespace

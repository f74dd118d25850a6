// The file TESSARO_DEBUG_LOG names.  On Windows the tool runs as
// administrator and the variable is anybody's: only a bare name is taken,
// and the file is kept in the program folder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/debug_file.h"
#include "support/test_system.h"

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

#if defined(__linux__)
// Whether this process holds a descriptor of the file.
bool HeldOpen(const std::string& path) {
    namespace fs = std::filesystem;
    const fs::path target = fs::canonical(path);
    std::error_code ec;
    for (const auto& fd : fs::directory_iterator("/proc/self/fd", ec)) {
        std::error_code linkError;
        if (fs::read_symlink(fd.path(), linkError) == target) return true;
    }
    return false;
}

// An update writes thousands of lines: the file is opened once, every line
// is on disk as soon as it is written, and a new value of the variable moves
// the lines to the new file.
TEST(DebugLogFile, StaysOpenWhileTheVariableNamesIt) {
    tessaro::test::TestSystem sys;
    sys.WriteFile("one.log", "");
    sys.WriteFile("two.log", "");
    const std::string one = sys.Native("one.log"), two = sys.Native("two.log");
    ::setenv("TESSARO_DEBUG_LOG", one.c_str(), 1);
    tessaro::AppendDebugLogFile("a\r\n");
    EXPECT_TRUE(HeldOpen(one));
    tessaro::AppendDebugLogFile("b\r\n");
    EXPECT_EQ(sys.ReadText("one.log"), "a\r\nb\r\n");
    ::setenv("TESSARO_DEBUG_LOG", two.c_str(), 1);
    tessaro::AppendDebugLogFile("c\r\n");
    EXPECT_FALSE(HeldOpen(one));
    EXPECT_TRUE(HeldOpen(two));
    ::unsetenv("TESSARO_DEBUG_LOG");
    tessaro::AppendDebugLogFile("d\r\n");
    EXPECT_FALSE(HeldOpen(two));
    EXPECT_EQ(sys.ReadText("one.log"), "a\r\nb\r\n");
    EXPECT_EQ(sys.ReadText("two.log"), "c\r\n");
}
#endif

}  // namespace

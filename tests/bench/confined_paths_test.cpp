// A bench file keeps every file it names inside its own folder: the tool may
// run on it as administrator, and anybody can name a bench file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "bench/activation.h"
#include "bench/confined_paths.h"
#include "bench/pc.h"

namespace fs = std::filesystem;

namespace {

TEST(BenchFolder, NamesThatLeaveItAreRefused) {
    const std::string base = ::testing::TempDir();
    struct Case {
        const char* name;
        const char* why;  // empty: accepted
    } cases[] = {
        {"out.rom", ""},
        {"out/hub1.rom", ""},
        {"out\\hub1.rom", ""},
        {"a..b.rom", ""},
        {"", "is empty"},
        {"/etc/passwd", "is an absolute path"},
        {"\\Windows\\win.ini", "is an absolute path"},
        {"\\\\server\\share\\x", "is an absolute path"},
        {"c:\\Windows\\x.rom", "names a drive or a stream"},
        {"C:x.rom", "names a drive or a stream"},
        {"out.rom:hidden", "names a drive or a stream"},
        {"..", "leaves the folder with \"..\""},
        {"../x.rom", "leaves the folder with \"..\""},
        {"out/../../x.rom", "leaves the folder with \"..\""},
        {"out\\..\\..\\x.rom", "leaves the folder with \"..\""},
    };
    for (const Case& c : cases) EXPECT_EQ(bench::OutsideBenchFolder(base, c.name), c.why) << c.name;
}

TEST(BenchFolder, ALinkThatLeadsOutIsRefused) {
    const fs::path base = fs::path(::testing::TempDir()) / "confined-link";
    const fs::path elsewhere = fs::path(::testing::TempDir()) / "confined-elsewhere";
    fs::remove_all(base);
    fs::create_directories(base);
    fs::create_directories(elsewhere);
    std::error_code error;
    fs::create_directory_symlink(elsewhere, base / "out", error);
    if (error) GTEST_SKIP() << "no links here: " << error.message();
    EXPECT_EQ(bench::OutsideBenchFolder(base.string(), "out/x.rom"), "leads out of the folder through a link");
    fs::create_directories(base / "in");
    EXPECT_EQ(bench::OutsideBenchFolder(base.string(), "in/x.rom"), "");
    fs::remove_all(base);
    fs::remove_all(elsewhere);
}

// Every directive that names a file or folder, on line 2 of its bench file.
TEST(BenchFolder, EveryFileDirectiveIsCheckedWithFileAndLine) {
    const std::string outside = "../outside";
    struct Case {
        const char* text;  // %s: the name
        const char* what;
    } cases[] = {
        {"box quiet\nlog %s\n", "log file name"},
        {"box quiet\nprogram %s/Tessaro.exe\n", "the program's file name"},
        {"box quiet\ndrive-c %s\n", "drive C folder"},
        {"box quiet\ndesktop %s\n", "desktop folder"},
        {"hub H\n  save %s\n  store eeprom 256\n  function\nend\n", "save file name"},
        {"hub H\n  content %s\n  store eeprom 256\n  function\nend\n", "content file name"},
        {"program p/Tessaro.exe\nsetup package %s\n", "setup program file name"},
    };
    for (const Case& c : cases) {
        std::string text = c.text;
        const size_t at = text.find("%s");
        text.replace(at, 2, outside);
        const std::string name = text.substr(at, text.find('\n', at) - at);
        std::string error;
        EXPECT_EQ(bench::Pc::FromText(text, ::testing::TempDir(), &error, "t.bench"), nullptr) << text;
        EXPECT_EQ(error, std::string("t.bench:2: ") + c.what + " \"" + name +
                             "\" leaves the folder with \"..\"; a bench keeps its files in its own folder");
    }
}

TEST(BenchFolder, ABenchNamingAnotherPlaceIsNotUsedAndWritesNothing) {
    const fs::path folder = fs::path(::testing::TempDir()) / "confined-bench";
    fs::create_directories(folder);
    const fs::path target = fs::path(::testing::TempDir()) / "confined-target.rom";
    fs::remove(target);
    const fs::path file = folder / "evil.bench";
    std::ofstream(file) << "box quiet\nhub H\n  store eeprom 256\n  save " << target.string()
                        << "\n  function\nend\n";
    {
        bench::Activation a = bench::Install(file.string());
        EXPECT_TRUE(a.Failed());
        EXPECT_EQ(a.Error().rfind(file.string() + ":4: save file name", 0), 0u) << a.Error();
    }
    EXPECT_FALSE(fs::exists(target));
    fs::remove_all(folder);
}

}  // namespace

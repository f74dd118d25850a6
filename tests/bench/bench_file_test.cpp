// Bench files: what they build, how they fail (with line numbers), stores
// written at exit, and switching a program onto the bench.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "bench/activation.h"
#include "bench/pc.h"
#include "tests/bench/bench_client.h"

using namespace benchtest;

namespace {

std::string Error(const std::string& text) {
    std::string error;
    auto pc = bench::Pc::FromText(text, ".", &error, "t.bench");
    return pc ? std::string("(parsed)") : error;
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream f(path, std::ios::binary);
    f << bytes;
}

std::string ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

TEST(BenchFile, ErrorsNameFileAndLine) {
    EXPECT_EQ(Error("clock virtual\nfrobnicate 1\n"), "t.bench:2: unknown directive \"frobnicate\"");
    for (const char* latency : {"ten", "1.5", "us", "-1", "5s"})
        EXPECT_EQ(Error(std::string("latency ") + latency + "\n"),
                  std::string("t.bench:1: latency is a number of milliseconds, or of microseconds with \"us\": ") +
                      latency);
    EXPECT_EQ(Error("latency 60001\n"), "t.bench:1: latency is too large: 60001");
    EXPECT_EQ(Error("latency 60000001us\n"), "t.bench:1: latency is too large: 60000001us");
    EXPECT_EQ(Error("powercfg 300\n"), "t.bench:1: powercfg time MS");
    EXPECT_EQ(Error("\n\nhub H\n  store spi Nope\n  function\nend\n"), "t.bench:3: flash part Nope is not described");
    EXPECT_EQ(Error("hub H\n  store eeprom 256\n  function\n"), "t.bench:1: block is not closed with \"end\"");
    EXPECT_EQ(Error("hub H\n  store eeprom 256\n  function\nhub G\n"),
              "t.bench:4: \"hub\" inside the block opened at line 1 (missing \"end\"?)");
    EXPECT_EQ(Error("flash F\n  erase XYZ\nend\n"), "t.bench:2: erase opcodes is not a hexadecimal byte: XYZ");
    EXPECT_EQ(Error("hub H\n  store eeprom 256\nend\n"), "t.bench:1: device H has no USB function");
    EXPECT_EQ(Error("device D\n  function\n  fill FF\nend\n"),
              "t.bench:3: \"fill\" belongs to a hub; a device has no controller");
    EXPECT_EQ(Error("hub H\n  store eeprom 256\n  function\n  put 250 text \"ABCDEFGH\"\nend\n"),
              "t.bench:1: put at 0xFA of 8 bytes lies outside the store of 256 bytes");
    EXPECT_EQ(Error("fault unplug Ghost after 3\n"), "t.bench:1: fault names the unknown device Ghost");
    EXPECT_EQ(Error("fault fail nth 1 first 2\n"), "t.bench:1: nth, first and from exclude each other");
    EXPECT_EQ(Error("box answer maybe\n"), "t.bench:1: unknown button maybe");
    EXPECT_EQ(Error("hub H\n  store eeprom 256\n  function instance \"a b\n"), "t.bench:3: missing closing quote");
    EXPECT_EQ(Error("end\n"), "t.bench:1: \"end\" without a block");
}

TEST(BenchFile, MissingFilesAreErrors) {
    std::string error;
    EXPECT_EQ(bench::Pc::Load("/nonexistent/x.bench", &error), nullptr);
    EXPECT_EQ(error, "/nonexistent/x.bench: cannot read the bench file");
    EXPECT_NE(Error("hub H\n  store eeprom 256\n  content nothere.bin\n  function\nend\n")
                  .find("t.bench:1: cannot read the content file"),
              std::string::npos);
}

TEST(BenchFile, StoreContentFromFileFillAndPuts) {
    const std::string dir = ::testing::TempDir();
    WriteFile(dir + "content.bin", std::string("\x01\x02\x03", 3));
    std::string error;
    auto pc = bench::Pc::FromText(R"(
flash F
  size 4K
  id 9F 1 C2 20 13
end
hub H
  store spi F
  fill 00
  content content.bin
  put 0x1D0 text "VXI2240"
  put 0x100 hex 55 0xAA
  function
end
)",
                                  dir, &error);
    ASSERT_TRUE(pc) << error;
    const std::vector<uint8_t>& s = pc->FindDevice("H")->Store();
    ASSERT_EQ(s.size(), 4096u);
    EXPECT_EQ(s[0], 1);
    EXPECT_EQ(s[2], 3);
    EXPECT_EQ(s[3], 0);
    EXPECT_EQ(std::string(s.begin() + 0x1D0, s.begin() + 0x1D7), "VXI2240");
    EXPECT_EQ(s[0x100], 0x55);
    EXPECT_EQ(s[0x101], 0xAA);
}

TEST(BenchFile, StoresAreWrittenAtExitButNotAfterAFailedParse) {
    const std::string dir = ::testing::TempDir();
    const std::string out = dir + "saved_store.bin";
    std::remove(out.c_str());
    {
        auto pc = Bench("hub H\n  store eeprom 256\n  isp yes\n  save saved_store.bin\n  function\nend\n", dir);
        Client c(*pc);
        c.Write(c.HandleOf(0), 0x0200, 0x10, {0x42});
    }
    const std::string saved = ReadFile(out);
    ASSERT_EQ(saved.size(), 256u);
    EXPECT_EQ(static_cast<uint8_t>(saved[0x10]), 0x42);
    EXPECT_EQ(static_cast<uint8_t>(saved[0x11]), 0xFF);

    std::remove(out.c_str());
    std::string error;
    EXPECT_EQ(bench::Pc::FromText("hub H\n  store eeprom 256\n  save saved_store.bin\n  function\nend\nbogus\n", dir,
                                  &error),
              nullptr);
    EXPECT_TRUE(ReadFile(out).empty()) << "a bench that failed to load writes nothing";
}

TEST(BenchFile, GlobalSettings) {
    auto pc = Bench(R"(
os 5.1.2600 sp 3
driver missing serial 77
guid sequence 9
box default no
box answer cancel yes
)");
    tessaro::OsVersionInfoEx v{};
    v.dwOSVersionInfoSize = sizeof v;
    ASSERT_TRUE(pc->Ports().os->GetVersionEx(&v));
    EXPECT_EQ(v.dwMajorVersion, 5u);
    EXPECT_EQ(v.dwMinorVersion, 1u);
    EXPECT_EQ(v.dwBuildNumber, 2600u);
    EXPECT_EQ(v.wServicePackMajor, 3);
    EXPECT_STREQ(v.szCSDVersion, "Service Pack 3");
    EXPECT_FALSE(pc->DriverInstalled());
    EXPECT_EQ(pc->SerialNo(), 77u);

    tessaro::IMessageBox* box = pc->Ports().box;
    EXPECT_EQ(box->Show("q", "c", 0x01), 2);   // scripted cancel
    EXPECT_EQ(box->Show("q", "c", 0x04), 6);   // scripted yes
    EXPECT_EQ(box->Show("q", "c", 0x04), 7);   // default no
    EXPECT_EQ(box->Show("i", "c", 0x40), 1);   // an OK box has no "no"
    EXPECT_EQ(pc->Boxes().Shown().size(), 4u);
    EXPECT_EQ(pc->Boxes().Shown()[0].text, "q");
}

TEST(BenchFile, GuidSequenceIsReproducible) {
    auto a = Bench("guid sequence 5\n");
    auto b = Bench("guid sequence 5\n");
    auto c = Bench("guid sequence 6\n");
    tessaro::Guid ga{}, gb{}, gc{}, ga2{};
    a->Ports().guid->Create(&ga);
    b->Ports().guid->Create(&gb);
    c->Ports().guid->Create(&gc);
    a->Ports().guid->Create(&ga2);
    EXPECT_EQ(0, std::memcmp(&ga, &gb, sizeof ga));
    EXPECT_NE(0, std::memcmp(&ga, &gc, sizeof ga));
    EXPECT_NE(0, std::memcmp(&ga, &ga2, sizeof ga));
    EXPECT_EQ(ga.data3 >> 12, 4) << "version 4 GUIDs, as CoCreateGuid makes";
}

TEST(BenchFile, OsVersionRecordSizesAndFailure) {
    auto pc = Bench("os 10.0.19045\n");
    tessaro::OsVersionInfoEx v{};
    v.dwOSVersionInfoSize = 100;
    EXPECT_FALSE(pc->Ports().os->GetVersionEx(&v));
    v.dwOSVersionInfoSize = 148;
    ASSERT_TRUE(pc->Ports().os->GetVersionEx(&v));
    EXPECT_EQ(v.dwMajorVersion, 10u);
    EXPECT_EQ(v.wServicePackMajor, 0) << "the plain record ends before the service pack fields";
    auto failing = Bench("os fail\n");
    v.dwOSVersionInfoSize = sizeof v;
    EXPECT_FALSE(failing->Ports().os->GetVersionEx(&v));
}

TEST(Activation, FromTheEnvironment) {
    const std::string dir = ::testing::TempDir();
    const std::string good = dir + "act_good.bench";
    WriteFile(good, "box quiet\nhub H\n  store eeprom 256\n  function\nend\n");
    const std::string bad = dir + "act_bad.bench";
    WriteFile(bad, "box quiet\nhub H\n");

    tessaro::IDriver* before = tessaro::Sys().driver;
#ifdef _WIN32
    _putenv_s("TESSARO_BENCH", "");
#else
    unsetenv("TESSARO_BENCH");
#endif
    {
        bench::Activation none = bench::InstallFromEnvironment();
        EXPECT_EQ(none.GetState(), bench::Activation::State::NotRequested);
        EXPECT_EQ(none.GetPc(), nullptr);
    }
    {
        bench::Activation a = bench::Install(good);
        ASSERT_EQ(a.GetState(), bench::Activation::State::Installed);
        EXPECT_EQ(tessaro::Sys().driver, a.GetPc()->Ports().driver);
        bench::Activation moved = std::move(a);
        EXPECT_EQ(tessaro::Sys().driver, moved.GetPc()->Ports().driver);
    }
    EXPECT_EQ(tessaro::Sys().driver, before) << "the real ports come back";
    {
        bench::Activation failed = bench::Install(bad);
        EXPECT_TRUE(failed.Failed());
        EXPECT_EQ(failed.Error(), bad + ":2: block is not closed with \"end\"");
        EXPECT_EQ(tessaro::Sys().driver, before);
    }
}

}  // namespace

namespace {

// The examples of docs/bench.md are bench files that load.
TEST(BenchFile, DocumentedExamplesLoad) {
    std::string source = std::string(__FILE__);
    source = source.substr(0, source.find_last_of("/\\"));
    const std::string env = tessaro::GetEnv("TESSARO_TEST_SOURCE");
    const std::string doc = (env.empty() ? source + "/../.." : env) + "/docs/bench.md";
    const std::string text = ReadFile(doc);
    if (text.empty()) GTEST_SKIP() << "documentation not reachable from here: " << doc;

    const std::string dir = ::testing::TempDir() + "bench_doc_examples/";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    // Unlabelled fenced blocks that hold a block ("end") are bench files.
    std::vector<std::string> examples;
    std::istringstream doc_lines(text);
    std::string fence_line, block, info;
    bool inside = false;
    while (std::getline(doc_lines, fence_line)) {
        if (fence_line.rfind("```", 0) != 0) {
            if (inside) block += fence_line + "\n";
            continue;
        }
        if (inside && info.empty() && block.find("\nend\n") != std::string::npos) examples.push_back(block);
        if (!inside) info = fence_line.substr(3);
        inside = !inside;
        block.clear();
    }
    ASSERT_GE(examples.size(), 5u);
    for (const std::string& example : examples) {
        // Give every content file something to read, every save file a folder.
        std::string error;
        std::istringstream lines(example);
        std::string line;
        std::string prepared;
        while (std::getline(lines, line)) {
            std::istringstream words(line);
            std::string word, file;
            words >> word >> file;
            if (word == "content" || word == "save" || word == "log") line = "  " + word + " x_" + std::to_string(prepared.size());
            if (word == "content") WriteFile(dir + "x_" + std::to_string(prepared.size()), "\x01");
            prepared += line + "\n";
        }
        auto pc = bench::Pc::FromText("box quiet\n" + prepared, dir, &error, "example");
        EXPECT_TRUE(pc) << error << "\n" << example;
        if (pc) pc->SaveAtExit(false);
    }
    std::filesystem::remove_all(dir);
}

}  // namespace

// tessaro-cli update --all on a tray of eight hubs of two types, run in the
// test's process (so that ThreadSanitizer sees every thread): one hub's
// writes fail in the middle of its update, one hub is pulled out in the
// middle of its own, the others must come out holding the image.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "support/bench_system.h"
#include "tools/cli/cli.h"
#include "tools/cli/record.h"

using namespace tessaro::test;
using nlohmann::json;

namespace {

constexpr size_t kStore = 0x5000;  // a class-2 store
constexpr size_t kIdOffset = 0x1C0, kIdLength = 16;

std::string Tray(const std::string& faults, int pairs = 4) {
    std::string text = "os 6.2.9200\nguid sequence 17\n" + TestFlashPart();
    for (int i = 0; i < pairs; ++i) {
        // VX710x-21/22 hubs with SPI flash, and VX7103 hubs with a large
        // EEPROM: both take a class-2 image.
        text += "hub S" + std::to_string(i) + "\n  store spi W25\n  put 0x1D0 text \"VXI2240\"\n  put 0x10E hex 0" +
                std::to_string(i) + " 01\n  function pid 0x0B42 container {2c7e0000-0000-4000-8000-00000000005" +
                std::to_string(i) + "}\nend\n";
        text += "hub E" + std::to_string(i) + "\n  store eeprom 0x8000\n  put 0xFC text \"XROM\"\n"
                "  function pid 0x0B42 container {2c7e0000-0000-4000-8000-0000000000e" + std::to_string(i) + "}\nend\n";
    }
    return text + faults;
}

std::vector<uint8_t> Image() {
    std::vector<uint8_t> image(0x400);
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 7 + 1);
    std::memcpy(image.data() + 0x1D0, "VXI2240", 7);
    image[0x10E] = 0x34;
    image[0x10F] = 0x12;
    return image;
}

// The store holds the image over erased bytes, apart from the container ID
// and the checksum the update stamps in.
::testing::AssertionResult HoldsImage(const std::vector<uint8_t>& store, const std::vector<uint8_t>& image) {
    for (size_t i = 0; i < kStore - 2; ++i) {
        if (i >= kIdOffset && i < kIdOffset + kIdLength) continue;
        const uint8_t want = i < image.size() ? image[i] : 0xFF;
        if (store[i] != want)
            return ::testing::AssertionFailure() << "byte " << std::hex << i << " is " << int(store[i]);
    }
    return ::testing::AssertionSuccess();
}

std::map<std::string, json> ByIdentity(const json& hubs) {
    std::map<std::string, json> out;
    for (const json& h : hubs) out[h.at("identity").get<std::string>()] = h;
    return out;
}

std::string Id(char kind, int i) {
    return std::string("{2c7e0000-0000-4000-8000-0000000000") + (kind == 'S' ? "5" : "e") + std::to_string(i) + "}";
}

class Gang : public ::testing::Test {
protected:
    void SetUp() override {
        sys.WriteIni("[FlashInfo]\nW25=" + TestFlashRow() + "\n");
        sys.WriteFile("tray.bin", Image());
        std::filesystem::create_directories(sys.Native("backups"));
    }
    // Runs the command in this process; its JSON document.
    json Run(const std::vector<std::string>& words, int* exitCode) {
        ::testing::internal::CaptureStdout();
        *exitCode = cli::Main(words);
        const std::string out = ::testing::internal::GetCapturedStdout();
        std::istringstream lines(out);
        std::string line, last;
        while (std::getline(lines, line))
            if (!line.empty()) last = line;
        return json::parse(last);
    }
    BenchSystem sys{"tessaro-cli.exe"};
};

TEST_F(Gang, AFailedHubIsRolledBackAPulledHubFailsAloneTheRestHoldTheImage) {
    sys.Bench(Tray("fault fail device S1 request 0x83 from 8 count 2\n"
                   "fault unplug E2 after 500\n"));
    std::map<std::string, std::vector<uint8_t>> before;
    for (const std::string& name : sys.pc().DeviceNames()) before[name] = sys.Store(name);

    int code = 0;
    json doc = Run({"update", "--all", sys.Native("tray.bin"), "--backup", sys.Native("backups"), "--rollback",
                    "--record", sys.Native("line.jsonl"), "--json"},
                   &code);
    EXPECT_EQ(code, 1) << doc.dump(1);
    EXPECT_FALSE(doc.at("ok").get<bool>());
    EXPECT_TRUE(doc.at("error").at("message").is_string());
    auto hubs = ByIdentity(doc.at("hubs"));
    ASSERT_EQ(hubs.size(), 8u) << doc.dump(1);

    EXPECT_EQ(hubs[Id('S', 1)].at("result"), "rolled_back") << hubs[Id('S', 1)].dump();
    EXPECT_EQ(sys.Store("S1"), before["S1"]) << "the backup went back byte for byte";
    EXPECT_EQ(hubs[Id('S', 1)].at("old_version"), "0101");

    // The pulled hub fails, and its roll-back is refused rather than sent to
    // the hub that moved into its place.
    EXPECT_EQ(hubs[Id('E', 2)].at("result"), "rollback_failed") << hubs[Id('E', 2)].dump();
    EXPECT_NE(hubs[Id('E', 2)].at("reason").get<std::string>().find("nothing more is written"), std::string::npos);
    for (char kind : {'S', 'E'})
        for (int i = 0; i < 4; ++i) {
            const std::string name = std::string(1, kind) + std::to_string(i);
            if (name == "S1" || name == "E2") continue;
            EXPECT_EQ(hubs[Id(kind, i)].at("result"), "success") << name << " " << hubs[Id(kind, i)].dump();
            EXPECT_EQ(hubs[Id(kind, i)].at("new_version"), "1234") << name;
            EXPECT_TRUE(HoldsImage(sys.Store(name), Image())) << name;
        }

    // One backup per hub that was written, named by its identity.
    size_t backups = 0;
    for (const auto& entry : std::filesystem::directory_iterator(sys.Native("backups"))) {
        EXPECT_EQ(entry.path().extension(), ".rom");
        ++backups;
    }
    EXPECT_EQ(backups, 8u);

    // The record: one line per hub, with the results of the document.
    std::istringstream record(sys.ReadText("line.jsonl"));
    std::string line;
    std::map<std::string, std::string> recorded;
    while (std::getline(record, line)) {
        const json r = json::parse(line);
        for (const char* key : {"time", "host", "hub", "identity", "type", "old_version", "new_version", "image",
                                "image_checksum", "result", "reason", "seconds"})
            EXPECT_TRUE(r.contains(key)) << key << " missing in " << line;
        recorded[r.at("identity").get<std::string>()] = r.at("result").get<std::string>();
    }
    ASSERT_EQ(recorded.size(), 8u);
    for (const auto& [identity, result] : recorded) EXPECT_EQ(result, hubs[identity].at("result")) << identity;
}

TEST_F(Gang, AHubThatComesBackAsANewDeviceFailsAloneAndNoOtherHubIsWrittenForIt) {
    // S2 drops off the bus in the middle of its writes and is back at once,
    // at the end of the list with a new handle: every hub behind it moves up.
    sys.Bench(Tray("fault unplug S2 after 60 replug 0\n"));
    int code = 0;
    json doc = Run({"update", "--all", sys.Native("tray.bin"), "--json"}, &code);
    EXPECT_EQ(code, 1);
    auto hubs = ByIdentity(doc.at("hubs"));
    EXPECT_EQ(hubs[Id('S', 2)].at("result"), "failed") << hubs[Id('S', 2)].dump();
    for (char kind : {'S', 'E'})
        for (int i = 0; i < 4; ++i) {
            const std::string name = std::string(1, kind) + std::to_string(i);
            if (name == "S2") continue;
            EXPECT_EQ(hubs[Id(kind, i)].at("result"), "success") << name << " " << hubs[Id(kind, i)].dump();
            EXPECT_TRUE(HoldsImage(sys.Store(name), Image())) << name;
        }
}

TEST_F(Gang, AHubWhoseBackupCannotBeSavedIsNotErased) {
    sys.Bench(Tray(""));
    const std::vector<uint8_t> s0 = sys.Store("S0");
    int code = 0;
    json doc = Run({"update", "--all", sys.Native("tray.bin"), "--backup", sys.Native("no-such-folder"), "--json",
                    "--jobs", "3"},
                   &code);
    EXPECT_EQ(code, 1);
    for (const json& h : doc.at("hubs")) {
        EXPECT_EQ(h.at("result"), "failed");
        EXPECT_NE(h.at("reason").get<std::string>().find("not erased"), std::string::npos) << h.dump();
    }
    EXPECT_EQ(sys.Store("S0"), s0);
}

TEST_F(Gang, HubsTheImageDoesNotFitAreLeftAloneAndOneJobIsSequential) {
    sys.Bench(Tray("", 2) + "hub Lite\n  store eeprom 256\n  put 0x1C text \"EROM\"\n  function pid 0x0B47\nend\n");
    const std::vector<uint8_t> lite = sys.Store("Lite");
    int code = 0;
    json doc = Run({"update", "--all", sys.Native("tray.bin"), "--jobs", "1", "--json"}, &code);
    EXPECT_EQ(code, 0) << doc.dump(1);
    EXPECT_TRUE(doc.at("ok").get<bool>());
    int skipped = 0;
    for (const json& h : doc.at("hubs")) skipped += h.at("result") == "skipped";
    EXPECT_EQ(skipped, 1) << doc.dump(1);
    EXPECT_EQ(sys.Store("Lite"), lite);
}

TEST_F(Gang, RestoreProgramsABackupByHand) {
    sys.Bench(Tray(""));
    const std::vector<uint8_t> s2 = sys.Store("S2");
    int code = 0;
    json doc = Run({"update", "--all", sys.Native("tray.bin"), "--backup", sys.Native("backups"), "--json"}, &code);
    ASSERT_EQ(code, 0) << doc.dump(1);
    std::string backup;
    for (const json& h : doc.at("hubs"))
        if (h.at("identity") == Id('S', 2)) backup = h.at("backup").get<std::string>();
    ASSERT_FALSE(backup.empty());
    ASSERT_NE(sys.Store("S2"), s2);

    int hub = -1;
    for (const json& h : doc.at("hubs"))
        if (h.at("identity") == Id('S', 2)) hub = h.at("hub").get<int>();
    json restored = Run({"restore", backup, "--hub", std::to_string(hub), "--json"}, &code);
    EXPECT_EQ(code, 0) << restored.dump(1);
    EXPECT_EQ(restored.at("bytes"), kStore);
    EXPECT_EQ(std::vector<uint8_t>(sys.Store("S2").begin(), sys.Store("S2").begin() + kStore),
              std::vector<uint8_t>(s2.begin(), s2.begin() + kStore));

    // A backup of another store's size is refused before anything is written.
    sys.WriteFile("short.rom", std::vector<uint8_t>(256, 0));
    json refused = Run({"restore", sys.Native("short.rom"), "--hub", std::to_string(hub), "--json"}, &code);
    EXPECT_EQ(code, 1);
    EXPECT_NE(refused.at("error").at("message").get<std::string>().find("does not fit"), std::string::npos);
}

TEST(LineRecord, RunsAppendingAtOnceNeverInterleaveTheirLines) {
    TestSystem sys;
    const std::string file = sys.Native("line.jsonl");
    // Long lines, so that a record written in pieces would be torn.
    const std::string padding(3000, 'x');
    std::vector<std::thread> runs;
    for (int run = 0; run < 4; ++run)
        runs.emplace_back([&, run]() {
            for (int i = 0; i < 50; ++i) {
                std::string error;
                std::vector<json> lines = {{{"run", run}, {"n", i}, {"pad", padding}},
                                           {{"run", run}, {"n", i}, {"pad", padding}}};
                ASSERT_TRUE(cli::AppendRecord(file, lines, error)) << error;
            }
        });
    for (std::thread& t : runs) t.join();
    std::istringstream text(sys.ReadText("line.jsonl"));
    std::string line;
    std::map<int, int> perRun;
    int previousRun = -1, inPair = 0;
    while (std::getline(text, line)) {
        const json r = json::parse(line);
        const int run = r.at("run").get<int>();
        // A run's two lines stand together: one append each.
        if (inPair == 1) {
            EXPECT_EQ(run, previousRun);
        }
        inPair = (inPair + 1) % 2;
        previousRun = run;
        ++perRun[run];
    }
    ASSERT_EQ(perRun.size(), 4u);
    for (const auto& [run, lines] : perRun) EXPECT_EQ(lines, 100) << run;
}

}  // namespace

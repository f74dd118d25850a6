// Every subcommand of tessaro-cli with --json, run as the program: standard
// output is one JSON document that the JSON library parses back, with the
// keys docs/cli.md promises; --json-lines gives one parsable line per event.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include <nlohmann/json.hpp>

#include "support/programs.h"
#include "support/test_system.h"

using nlohmann::json;
using tessaro::test::BuildProgram;
using tessaro::test::RunProgram;
using tessaro::test::TestSystem;

namespace {

class CliJson : public ::testing::Test {
protected:
    void SetUp() override {
        sys.WriteFile("t.ini", "[FlashInfo]\nW25=9F 03 EF 30 13 C7 40 01 00 00 00 02 00 00 00 00 00 00\n");
        sys.WriteFile("b.bench",
                      "os 6.2.9200\nguid sequence 3\n"
                      "flash W25\n  size 64K\n  id 9F 1 EF 30 13\n  erase C7\nend\n"
                      "hub Main\n  store spi W25\n  put 0x1D0 text \"VXI2240\"\n  put 0 hex 01 02 03 04 05 06 07 08 09\n"
                      "  function vid 0x2C7E pid 0x0B40 bcd-usb 0x0210 handle 7 container {2c7e0000-0000-4000-8000-0000000000a1}\nend\n"
                      "hub Lite\n  store eeprom 256\n  put 0x1C text \"EROM\"\n"
                      "  function vid 0x2C7E pid 0x0B47 bcd-device 0x0105 bcd-usb 0x0210 handle 9\nend\n");
        std::vector<uint8_t> image(0x300);
        for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 11 + 2);
        std::memcpy(image.data() + 0x1D0, "VXI2240", 7);
        sys.WriteFile("spi.bin", image);
        sys.WriteFile("store.rom", std::vector<uint8_t>(0x5000, 0xFF));
        sys.WriteFile("cfg.desc", "layout = compact\nvid = 0x2C7E\nss_pid = 0x0B46\nhs_pid = 0x2B46\n");
    }
    tessaro::test::ProgramRun Cli(const std::string& args) {
        return RunProgram(BuildProgram("tools/tessaro-cli"), "--ini \"" + sys.Native("t.ini") + "\" " + args,
                          {{"TESSARO_BENCH", sys.Native("b.bench")}, {"TESSARO_DEBUG_LOG", ""}}, sys.Root());
    }
    std::string F(const std::string& name) { return "\"" + sys.Native(name) + "\""; }
    TestSystem sys;
};

TEST_F(CliJson, EverySubcommandPrintsOneDocumentWithItsKeys) {
    struct Case {
        std::string args;
        int exitCode;
        std::vector<std::string> keys;
    };
    const Case cases[] = {
        {"list", 0, {"count", "hubs"}},
        {"request --hub 0 --type 0xC0 --request 0x82 --value 0 --index 0 --length 9", 0, {"data"}},
        {"identify --hub 0", 0, {"hub", "hub_type", "hub_type_name", "hub_type_text", "mask_rom", "flash"}},
        {"read --hub 0 --mode 1 --length 144 -o " + F("cfg.rom"), 0, {"hub", "mode", "bytes", "file"}},
        {"restore " + F("store.rom") + " --hub 0", 0, {"hub", "file", "hub_type", "bytes"}},
        {"erase --hub 0", 0, {"hub", "message"}},
        {"reset --hub 0", 0, {"hub"}},
        {"update --hub 0 " + F("spi.bin"), 0, {"hub", "hub_type", "image", "image_class"}},
        {"update --all " + F("spi.bin") + " --record " + F("line.jsonl"), 0,
         {"image", "image_class", "image_checksum", "suspend_restored", "hubs"}},
        {"classify " + F("spi.bin"), 0, {"file", "length", "class", "product_id", "model", "version", "store_size", "status"}},
        {"sum " + F("spi.bin") + " -o " + F("out.sum"), 0, {"file", "class", "checksum", "reported_sum"}},
        {"eep make " + F("cfg.desc") + " -o " + F("cfg.eep"), 0, {"file", "layout", "bytes"}},
        {"eep show " + F("cfg.eep"), 0, {"file", "bytes", "text"}},
        {"driver", 1, {"windows_bits", "installed", "package", "check", "check_text"}},
        {"suspend off", 0, {"way", "value", "hubs"}},
        {"find-hub", 0, {"vid", "pid", "revision"}},
        {"classify " + F("missing.bin"), 1, {}},
        {"update --hub 5 " + F("spi.bin"), 1, {}},
        {"no-such-command", 1, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        auto run = Cli(c.args + " --json");
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        std::string out = run.out;
        while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
        ASSERT_EQ(out.find('\n'), std::string::npos) << "one document, one line: " << run.out;
        json doc;
        ASSERT_NO_THROW(doc = json::parse(out)) << out;
        const std::string command = c.args.substr(0, c.args.find(' '));
        EXPECT_EQ(doc.at("command"), command);
        EXPECT_EQ(doc.at("ok"), c.exitCode == 0);
        EXPECT_EQ(doc.at("exit_code"), c.exitCode);
        EXPECT_TRUE(doc.at("lines").is_array());
        if (c.exitCode) {
            ASSERT_TRUE(doc.contains("error")) << out;
            EXPECT_FALSE(doc.at("error").at("message").get<std::string>().empty());
        } else {
            EXPECT_FALSE(doc.contains("error")) << out;
        }
        for (const std::string& key : c.keys) EXPECT_TRUE(doc.contains(key)) << key << " in " << out;
    }
    // The record of the gang run: one parsable line per hub asked for.
    std::istringstream record(sys.ReadText("line.jsonl"));
    std::string line;
    int lines = 0;
    while (std::getline(record, line)) {
        EXPECT_EQ(json::parse(line).at("result"), "success") << line;
        ++lines;
    }
    EXPECT_EQ(lines, 1) << "the EEPROM hub does not take the image and is not recorded";
}

TEST_F(CliJson, JsonLinesGiveProgressEventsAndTheDocumentLast) {
    auto run = Cli("update --all " + F("spi.bin") + " --json-lines");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    std::istringstream lines(run.out);
    std::string line;
    std::vector<json> events;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        ASSERT_NO_THROW(events.push_back(json::parse(line))) << line;
    }
    ASSERT_GE(events.size(), 3u);
    std::vector<std::string> phases;
    for (size_t i = 0; i + 1 < events.size(); ++i) {
        EXPECT_EQ(events[i].at("event"), "progress");
        for (const char* key : {"hub", "type", "phase", "percent"}) EXPECT_TRUE(events[i].contains(key)) << key;
        if (events[i].at("hub") == 0) phases.push_back(events[i].at("phase").get<std::string>());
    }
    EXPECT_EQ(events.back().at("event"), "result");
    EXPECT_EQ(events.back().at("command"), "update");
    ASSERT_FALSE(phases.empty());
    EXPECT_EQ(phases.front(), "identifying");
    EXPECT_EQ(phases.back(), "success");
}

}  // namespace

// The Linux driver port end to end: libusb's own code runs against a
// kernel interface emulated by umockdev (sysfs devices, usbfs device nodes),
// whose transfers the bench's hubs answer.  Every command must do there
// exactly what it does on the bench alone: same output, same exit code, the
// same stores byte for byte.
#include <gtest/gtest.h>
#include <libusb.h>

#include <cctype>
#include <cstring>
#include <memory>
#include <regex>

#include "linux_usb/emulated_bus.h"
#include "platform/linux/usb_driver.h"
#include "support/bench_system.h"
#include "tools/cli/cli.h"

using tessaro::test::BenchSystem;

namespace {

// --- descriptors and error codes --------------------------------------------

TEST(LibusbPort, ContainerIdsComeFromTheBosDescriptor) {
    const std::string id = "{7d2a4c1e-90b3-4f55-8e1a-2b6c9d0e3f41}";
    std::vector<uint8_t> bos = usbtest::BosFor(id);
    ASSERT_EQ(bos.size(), 25u);
    std::vector<uint8_t> usb2ext = {7, 16, 2, 2, 0, 0, 0};  // another capability first
    std::vector<uint8_t> twoCaps = {5, 15, 32, 0, 2};
    twoCaps.insert(twoCaps.end(), usb2ext.begin(), usb2ext.end());
    twoCaps.insert(twoCaps.end(), bos.begin() + 5, bos.end());
    std::vector<uint8_t> truncated(bos.begin(), bos.end() - 1);
    std::vector<uint8_t> zeroLength = {5, 15, 10, 0, 1, 0, 16, 4, 0, 0};
    std::vector<uint8_t> notBos = bos;
    notBos[1] = 2;
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        std::string expected;
    } cases[] = {
        {"container ID alone", bos, id},
        {"after another capability", twoCaps, id},
        {"cut short", truncated, ""},
        {"a capability of length 0 ends the walk", zeroLength, ""},
        {"not a BOS descriptor", notBos, ""},
        {"empty", {}, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(tessaro::ContainerIdFromBos(c.bytes.data(), c.bytes.size()), c.expected) << c.what;
}

TEST(LibusbPort, LibusbErrorsBecomeTheWindowsCodesTheEngineKnows) {
    const std::pair<int, uint32_t> cases[] = {
        {LIBUSB_ERROR_PIPE, 31},    {LIBUSB_ERROR_NO_DEVICE, 1167}, {LIBUSB_ERROR_ACCESS, 5},
        {LIBUSB_ERROR_TIMEOUT, 121}, {LIBUSB_ERROR_IO, 31},          {LIBUSB_ERROR_OVERFLOW, 31},
    };
    for (const auto& c : cases) EXPECT_EQ(tessaro::Win32ErrorFromLibusb(c.first), c.second) << c.first;
    EXPECT_NE(tessaro::AccessHint("/dev/bus/usb/001/004").find("/dev/bus/usb/001/004"), std::string::npos);
    EXPECT_NE(tessaro::AccessHint("/dev/bus/usb/001/004").find("60-tessaro-hubs.rules"), std::string::npos);
}

// --- the commands, on the bench and through libusb ------------------------------

const char kFlash[] = "flash W25\n  size 64K\n  id 9F 1 EF 30 13\n  erase C7\nend\n";
const char kBench[] =
    "guid sequence 9\n"
    "re-enumerate 0\n"
    "hub Lite\n  store eeprom 256\n  put 0x1C text \"EROM\"\n  save lite.rom\n"
    "  function pid 0x0B47 bcd-usb 0x0210\nend\n"
    "device Mouse\n  function type 0 vid 0x2C7E pid 0x1234 bcd-usb 0x0110\nend\n"
    "hub Main\n  store spi W25\n  put 0x1D0 text \"VXI2240\"\n  put 0 hex 01 02 03 04 05 06 07 08 09\n"
    "  save main.rom\n"
    "  function type 1 pid 0x0B42 bcd-usb 0x0300 container {7d2a4c1e-90b3-4f55-8e1a-2b6c9d0e3f41}\n"
    "  function type 2 pid 0x0B40 bcd-usb 0x0210 container {7d2a4c1e-90b3-4f55-8e1a-2b6c9d0e3f41}\nend\n";
const char kIni[] =
    "[VX7100]\nUUUIsp=1\nDbgMode=1\n[FlashInfo]\nW25=9F 03 EF 30 13 C7 80 01 00 00 00 00 00 00 00 00 00 00\n";

struct Outcome {
    std::string out;  // standard output and error of every command, handles masked
    std::vector<int> codes;
    std::vector<uint8_t> lite, main, dump;
    int standardRequests = 0;
};

std::string MaskHandles(const std::string& text) {
    return std::regex_replace(text, std::regex("handle [0-9]+"), "handle #");
}

// Runs the commands on a fresh bench, through the bench's driver or through
// libusb on the emulated bus.
Outcome RunCommands(const std::string& faults, const std::vector<std::vector<std::string>>& commands, bool libusb) {
    BenchSystem sys("tessaro-cli.exe");
    sys.WriteIni(kIni);
    std::vector<uint8_t> lite(256), full(0x5000), shortSpi(0x300);
    for (size_t i = 0; i < lite.size(); ++i) lite[i] = static_cast<uint8_t>(i * 3 + 7);
    std::memcpy(lite.data() + 0x1C, "EROM", 4);
    for (size_t i = 0; i < full.size(); ++i) full[i] = static_cast<uint8_t>(i * 5 + 1);
    std::memcpy(full.data() + 0x1D0, "VXI2240", 7);
    for (size_t i = 0; i < shortSpi.size(); ++i) shortSpi[i] = static_cast<uint8_t>(i * 11 + 2);
    std::memcpy(shortSpi.data() + 0x1D0, "VXI2240", 7);
    sys.WriteFile("lite.bin", lite);
    sys.WriteFile("full.bin", full);
    sys.WriteFile("short.bin", shortSpi);
    sys.Bench(std::string(kFlash) + kBench + faults);

    std::unique_ptr<usbtest::EmulatedBus> bus;
    std::unique_ptr<tessaro::IDriver> usb;
    std::unique_ptr<tessaro::ScopedSystem> port;
    if (libusb) {
        bus = std::make_unique<usbtest::EmulatedBus>(sys.pc(), *sys.pc().Ports().driver);
        EXPECT_TRUE(bus->Ok()) << bus->Error();
        usb = tessaro::MakeLibusbDriver();
        tessaro::System ports;
        ports.driver = usb.get();
        port = std::make_unique<tessaro::ScopedSystem>(ports);
    }
    Outcome o;
    for (std::vector<std::string> words : commands) {
        for (std::string& w : words)
            if (w.size() > 4 && (w.find(".bin") != std::string::npos)) w = sys.Native(w);
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        o.codes.push_back(cli::Main(words));
        std::fflush(stdout);
        o.out += testing::internal::GetCapturedStdout();
        o.out += testing::internal::GetCapturedStderr();
    }
    o.out = MaskHandles(o.out);
    for (size_t at; (at = o.out.find(sys.Root())) != std::string::npos;) o.out.replace(at, sys.Root().size(), "<root>");
    o.lite = sys.Store("Lite");
    o.main = sys.Store("Main");
    sys.ReadFile("dump.bin", o.dump);
    if (bus) o.standardRequests = bus->StandardRequests();
    port.reset();
    usb.reset();
    bus.reset();
    return o;
}

struct Scenario {
    const char* what;
    std::string faults;
    std::vector<std::vector<std::string>> commands;
    std::vector<int> codes;  // expected exit codes
};

class ThroughLibusb : public testing::TestWithParam<Scenario> {};

TEST_P(ThroughLibusb, DoesWhatTheBenchAloneDoes) {
    const Scenario& s = GetParam();
    Outcome bench = RunCommands(s.faults, s.commands, false);
    Outcome usb = RunCommands(s.faults, s.commands, true);
    EXPECT_EQ(bench.codes, s.codes) << bench.out;
    EXPECT_EQ(usb.codes, bench.codes) << usb.out;
    EXPECT_EQ(usb.out, bench.out);
    EXPECT_TRUE(usb.lite == bench.lite) << "the EEPROM store differs";
    EXPECT_TRUE(usb.main == bench.main) << "the SPI store differs";
    EXPECT_TRUE(usb.dump == bench.dump) << "the dump differs";
    EXPECT_GT(usb.standardRequests, 0) << "the container IDs were read from the BOS descriptors";
}

INSTANTIATE_TEST_SUITE_P(
    Commands, ThroughLibusb,
    testing::Values(
        Scenario{"list", "", {{"list"}}, {0}},
        Scenario{"identify", "", {{"identify", "--hub", "0"}, {"identify", "--hub", "1"}}, {0, 0}},
        Scenario{"request", "", {{"request", "--hub", "1", "--type", "0xC0", "--request", "0x82", "--value", "0",
                                  "--index", "0", "--length", "9"}}, {0}},
        Scenario{"dump", "", {{"read", "--hub", "1", "--mode", "0", "--length", "4096", "-o", "dump.bin"}}, {0}},
        Scenario{"update EEPROM image", "", {{"update", "--hub", "0", "lite.bin"}}, {0}},
        Scenario{"update full SPI image", "", {{"update", "--hub", "1", "full.bin"}}, {0}},
        Scenario{"update short SPI image", "", {{"update", "--hub", "1", "short.bin"}}, {0}},
        Scenario{"reset", "", {{"reset", "--hub", "1"}, {"list"}}, {0, 0}},
        Scenario{"stalled request", "fault fail device Main request 0x83 from 5 count 2\n", {{"update", "--hub", "1", "full.bin"}}, {1}},
        Scenario{"unplugged mid-update", "fault unplug Main after 40\n", {{"update", "--hub", "1", "full.bin"}}, {1}},
        Scenario{"error codes of a stall and a disconnect",
                 "fault fail device Main request 0x82 nth 1\nfault unplug Lite after 0\n",
                 {{"request", "--hub", "1", "--type", "0xC0", "--request", "0x82", "--value", "0", "--index", "0",
                   "--length", "9"},
                  {"request", "--hub", "0", "--type", "0xC0", "--request", "0x82", "--value", "0", "--index", "0",
                   "--length", "9"}},
                 {1, 1}},
        Scenario{"short read", "fault short device Main request 0x82 from 2 deliver 3\n",
                 {{"read", "--hub", "1", "--mode", "0", "--length", "4096", "-o", "dump.bin"}}, {1}}),
    [](const testing::TestParamInfo<Scenario>& info) {
        std::string name;
        for (const char* p = info.param.what; *p; ++p) name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
        return name;
    });

TEST(LibusbPort, ABusWithoutHubsListsNone) {
    BenchSystem sys("tessaro-cli.exe");
    sys.WriteIni(kIni);
    sys.Bench("device Mouse\n  function type 0 vid 0x046D pid 0xC077 bcd-usb 0x0200\nend\n");
    usbtest::EmulatedBus bus(sys.pc(), *sys.pc().Ports().driver);
    ASSERT_TRUE(bus.Ok()) << bus.Error();
    std::unique_ptr<tessaro::IDriver> usb = tessaro::MakeLibusbDriver();
    tessaro::System ports;
    ports.driver = usb.get();
    tessaro::ScopedSystem port(ports);
    testing::internal::CaptureStdout();
    int code = cli::Main({"list"});
    std::fflush(stdout);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "no hub found\n");
}

}  // namespace

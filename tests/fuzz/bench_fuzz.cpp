// Bench files of any content: the parser either builds a PC or names the
// line it refuses, and a PC it builds can be enumerated and identified.
// Files the bench names are taken from the current folder only (the runner
// starts the fuzzer in a scratch folder), and nothing is saved at the end.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "bench/pc.h"
#include "fuzz_system.h"
#include "hub/CHubIsp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 8192) return 0;
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (text.find_first_of("/\\:") != std::string::npos) return 0;

    fuzz::FuzzSystem system;
    system.ini.Set("VX7100", "DbgMode", "1");
    system.ini.Set("VX7100", "UUUIsp", size & 1 ? "yes" : "no");
    system.ini.AddLine("FlashInfo", "W25X40=9F 03 EF 30 13 C7 40 01 50 00 00 02 00 00 00 00 00 00");
    std::string error;
    std::unique_ptr<bench::Pc> pc = bench::Pc::FromText(text, ".", &error, "fuzz.bench");
    if (!pc) {
        if (error.empty()) std::abort();
        // Seeds should parse: set TESSARO_FUZZ_VERBOSE to see why one does not.
        if (!tessaro::GetEnv("TESSARO_FUZZ_VERBOSE").empty()) std::fprintf(stderr, "%s\n", error.c_str());
        return 0;
    }
    pc->SaveAtExit(false);
    pc->SetLogFile("");
    pc->UseClock(&system.clock);
    pc->UseFiles(&system.files);
    const tessaro::System bench = pc->Ports();
    tessaro::System ports;
    ports.driver = bench.driver;
    ports.guid = bench.guid;
    ports.devices = bench.devices;
    ports.registry = bench.registry;
    system.Install(ports);

    CHubIsp isp;
    isp.m_quiet = 1;
    if (isp.OpenDevice()) {
        unsigned hubs = 0;
        isp.GetHubNumber(&hubs);
        isp.CloseDevice();
        for (unsigned i = 0; i < hubs && i < 2; ++i) isp.GetChipType(static_cast<int>(i), 2);
    }
    return 0;
}

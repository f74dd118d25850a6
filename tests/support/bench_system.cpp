#include "support/bench_system.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace tessaro {
namespace test {

bench::Pc& BenchSystem::Bench(const std::string& text) {
    std::string error;
    m_pc = bench::Pc::FromText(text, Native(""), &error);
    if (!m_pc) {
        ADD_FAILURE() << "bench: " << error;
        m_pc = std::make_unique<bench::Pc>();
    }
    m_pc->SaveAtExit(false);
    m_pc->UseClock(&clock);
    m_pc->UseFiles(files.get());
    System ports = m_pc->Ports();
    ports.box = &box;
    ports.clock = &clock;
    // The test's own folders stay: program folder, desktop, drive C.
    ports.files = files.get();
    ports.shell = desktop.get();
    Install(ports);
    return *m_pc;
}

bench::Device& BenchSystem::Device(const std::string& name) {
    bench::Device* d = m_pc ? m_pc->FindDevice(name) : nullptr;
    if (!d) {
        std::fprintf(stderr, "no bench device %s\n", name.c_str());
        std::abort();
    }
    return *d;
}

std::string TestFlashRow(int datasize, const std::string& rest) {
    char head[64];
    std::snprintf(head, sizeof head, "9F 03 EF 30 13 C7 %02X 01 ", datasize & 0xFF);
    return std::string(head) + rest;
}

std::string TestFlashPart(const std::string& name, const std::string& extra) {
    return "flash " + name + "\n  size 64K\n  id 9F 1 EF 30 13\n  erase C7\n" + extra + "end\n";
}

}  // namespace test
}  // namespace tessaro

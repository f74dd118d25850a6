// A test's own PC with hubs: the TestSystem's folders, virtual clock,
// recorded boxes and debugger output, plus a bench built from text whose
// driver, GUIDs and devices the tool then talks to.
#pragma once

#include <memory>
#include <string>

#include "bench/pc.h"
#include "support/test_system.h"

namespace tessaro {
namespace test {

class BenchSystem : public TestSystem {
public:
    explicit BenchSystem(const std::string& moduleName = "Tessaro.exe") : TestSystem(moduleName) {}

    // Builds the bench from text (file names relative to the test's root) and
    // installs its ports; the bench's devices follow this system's clock, and
    // message boxes stay recorded here.  Fails the test on a bench error.
    bench::Pc& Bench(const std::string& text);
    bench::Pc& pc() { return *m_pc; }
    bench::Device& Device(const std::string& name);
    std::vector<uint8_t>& Store(const std::string& name) { return Device(name).Store(); }

    // Turns the diagnostic log on (DbgMode 1) in an INI that also holds the
    // given sections.
    void WriteIniWithLog(const std::string& text) { WriteIni("[VX7100]\nDbgMode=1\n" + text); }

private:
    std::unique_ptr<bench::Pc> m_pc;
};

// A FlashInfo row and a matching bench part for the usual test flash: ID
// EF 30 13 with opcode 9F mode 1, erase C7, block size `datasize`.
std::string TestFlashRow(int datasize = 64, const std::string& rest = "00 00 00 00 00 00 00 00 00 00");
std::string TestFlashPart(const std::string& name = "W25", const std::string& extra = "");

}  // namespace test
}  // namespace tessaro

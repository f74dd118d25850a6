#include "bench/activation.h"

#include <cstdio>

namespace bench {

Activation::~Activation() {
    // The ports go back before the PC that served them goes away.
    m_ports.reset();
    m_pc.reset();
}

Activation Install(const std::string& benchFile) {
    Activation a;
    a.m_file = benchFile;
    std::string error;
    a.m_pc = Pc::Load(benchFile, &error);
    if (!a.m_pc) {
        a.m_state = Activation::State::Failed;
        a.m_error = error;
        std::fprintf(stderr, "[bench] TESSARO_BENCH names a bench that cannot be used: %s\n", error.c_str());
        std::fprintf(stderr, "[bench] not falling back to real hardware\n");
        std::fflush(stderr);
        return a;
    }
    a.m_ports = std::make_unique<tessaro::ScopedSystem>(a.m_pc->Ports());
    a.m_state = Activation::State::Installed;
    std::fprintf(stderr, "[bench] simulated PC of bench file %s in use\n", benchFile.c_str());
    std::fflush(stderr);
    return a;
}

Activation InstallFromEnvironment() {
    const std::string file = tessaro::GetEnv("TESSARO_BENCH");
    if (file.empty()) return Activation();
    return Install(file);
}

}  // namespace bench

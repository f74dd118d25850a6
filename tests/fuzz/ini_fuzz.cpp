// The portable INI reader on any file: section and key lists, section reads
// and values into buffers of every small size, directly and through
// CIniFile.  Besides the sanitizers' checks, the counts must stay inside the
// caller's buffer the way the system's functions keep them.
//
// Input: one byte sizes the tight buffer (0 to 255 bytes), one the roomy
// one (256 + 8 * n bytes); the rest is the file.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "fuzz_system.h"
#include "platform/native.h"
#include "settings/CIniFile.h"

namespace {

// The file lives in a temporary folder of the fuzzer's own, removed at exit.
std::string g_folder;

void RemoveFolder() {
    std::remove((g_folder + "/tessaro.ini").c_str());
    rmdir(g_folder.c_str());
}

const std::string& IniPath() {
    static const std::string path = [] {
        char folder[] = "/tmp/tessaro-fuzz-ini-XXXXXX";
        if (!mkdtemp(folder)) std::abort();
        g_folder = folder;
        std::atexit(RemoveFolder);
        return g_folder + "/tessaro.ini";
    }();
    return path;
}

void Check(bool ok) {
    if (!ok) std::abort();
}

// The list's strings in buf[0..n), as the callers split them.
std::vector<std::string> Split(const char* buf, uint32_t n) {
    std::vector<std::string> out;
    uint32_t start = 0;
    for (uint32_t i = 0; i < n; ++i) {
        if (buf[i] != '\0') continue;
        if (i > start) out.emplace_back(buf + start, i - start);
        start = i + 1;
    }
    if (start < n) out.emplace_back(buf + start, n - start);
    return out;
}

// A list read into a buffer of exactly `size` bytes, so that any write past
// it is caught.
std::vector<std::string> List(tessaro::IIni& ini, const char* section, bool lines, uint32_t size) {
    std::unique_ptr<char[]> buf(new char[size]);
    const char* file = IniPath().c_str();
    const uint32_t n = lines ? ini.GetSection(section, buf.get(), size, file)
                             : ini.GetString(section, nullptr, "", buf.get(), size, file);
    Check(size < 2 ? n == 0 : n <= size - 2);
    return Split(buf.get(), n);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Bytes in(data, size);
    const uint32_t small = in.U8();            // a tight buffer: 0 to 255
    const uint32_t large = 256u + in.U8() * 8u; // a roomy one
    const std::vector<uint8_t> text = in.Rest();

    std::FILE* f = std::fopen(IniPath().c_str(), "wb");
    if (!f) return 0;
    if (!text.empty()) std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);

    std::unique_ptr<tessaro::IIni> ini = tessaro::MakePortableIniReader();
    fuzz::FuzzSystem system;
    tessaro::System ports;
    ports.ini = ini.get();
    system.Install(ports);

    List(*ini, nullptr, false, small);
    const std::vector<std::string> sections = List(*ini, nullptr, false, 8192);
    CIniFile reader;
    reader.SetFileName(IniPath());
    size_t visited = 0;
    for (const std::string& section : sections) {
        if (++visited > 8) break;
        List(*ini, section.c_str(), false, small);
        List(*ini, section.c_str(), true, small);
        List(*ini, section.c_str(), true, large);
        const std::vector<std::string> keys = List(*ini, section.c_str(), false, 8192);
        for (size_t k = 0; k < keys.size() && k < 8; ++k) {
            std::unique_ptr<char[]> value(new char[small]);
            const uint32_t n =
                ini->GetString(section.c_str(), keys[k].c_str(), "default ", value.get(), small, IniPath().c_str());
            Check(small == 0 ? n == 0 : n < small);
            reader.GetString(keys[k], section);
        }
        reader.SectionExists(section);
        for (const std::string& line : reader.ReadSection(section)) Check(!line.empty());
    }
    return 0;
}

// tessaro-image: makes sample firmware images and configuration (.eep)
// files from a readable description, for tests, the demo and training.
//
//   tessaro-image DESCRIPTION -o OUT [--eep EEP]
//
// With an [image] section OUT receives the image and --eep, when given, the
// configuration block of the [config] section; without one OUT receives the
// configuration block.  The description format is in docs/files.md.
#include <cstdio>
#include <string>
#include <vector>

#include "files/FilePort.h"
#include "files/ImageBuilder.h"

namespace {

int Fail(const std::string& text) {
    std::fprintf(stderr, "tessaro-image: %s\n", text.c_str());
    return 1;
}

int Usage() {
    std::fprintf(stderr, "usage: tessaro-image DESCRIPTION -o OUT [--eep EEP]\n");
    return 1;
}

bool Write(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error) {
    uint32_t code = 0;
    if (WriteWholeFile(path, bytes.data(), bytes.size(), code)) return true;
    const std::string reason = SystemErrorText(code);
    *error = "cannot write " + path + (reason.empty() ? std::string() : ": " + reason);
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    std::string description, out, eep;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if ((word == "-o" || word == "--eep") && i + 1 < argc) {
            (word == "-o" ? out : eep) = argv[++i];
        } else if (!word.empty() && word[0] == '-') {
            return Usage();
        } else if (description.empty()) {
            description = word;
        } else {
            return Usage();
        }
    }
    if (description.empty() || out.empty()) return Usage();

    std::vector<uint8_t> text;
    uint32_t code = 0;
    if (!ReadWholeFile(description, text, code)) return Fail("cannot read " + description + ": " + SystemErrorText(code));
    SampleFiles sample;
    std::string error;
    if (!BuildSample(std::string(text.begin(), text.end()), &sample, &error)) return Fail(description + ": " + error);

    if (sample.hasImage) {
        if (!Write(out, sample.image, &error)) return Fail(error);
        std::printf("%s: class %d image of %zu bytes\n", out.c_str(), sample.imageClass, sample.image.size());
        if (!eep.empty()) {
            if (!sample.hasConfig) return Fail(description + ": no [config] section for --eep");
            if (!Write(eep, sample.config, &error)) return Fail(error);
            std::printf("%s: %s configuration block of %zu bytes\n", eep.c_str(), LayoutName(sample.format.layout),
                        sample.config.size());
        }
    } else {
        if (!eep.empty()) return Fail("--eep needs an [image] section; OUT already receives the configuration");
        if (!Write(out, sample.config, &error)) return Fail(error);
        std::printf("%s: %s configuration block of %zu bytes\n", out.c_str(), LayoutName(sample.format.layout),
                    sample.config.size());
    }
    return 0;
}

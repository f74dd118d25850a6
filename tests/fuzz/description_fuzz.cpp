// Descriptions of sample images and configuration blocks (tessaro-image,
// `tessaro-cli eep make`): any text either builds what it claims or is
// refused with a reason.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "files/ConfigText.h"
#include "files/FirmwareImage.h"
#include "files/ImageBuilder.h"
#include "fuzz_system.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Images of up to 1 MiB may be described; keep the inputs short so that
    // the runs stay quick.
    if (size > 4096) return 0;
    fuzz::FuzzSystem system;
    const std::string text(reinterpret_cast<const char*>(data), size);
    SampleFiles sample;
    std::string error;
    if (!BuildSample(text, &sample, &error)) {
        if (error.empty()) std::abort();
        return 0;
    }
    if (sample.hasConfig && sample.config.size() != static_cast<size_t>(sample.format.size)) std::abort();
    if (sample.hasConfig) ConfigToText(sample.model, sample.format);
    return 0;
}

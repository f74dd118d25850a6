// Sample firmware images and configuration blocks from a readable
// description (see files/ConfigText.h for the line format and docs/files.md
// for the keys).  The samples carry the markers, product ID, version and
// configuration block that the tool reads; their code area is a
// deterministic filler, never real firmware.  Used by tessaro-image, by
// `tessaro-cli eep make` and by the tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "files/ConfigBlock.h"

struct SampleFiles {
    bool hasImage = false;
    std::vector<uint8_t> image;
    int imageClass = -1;
    bool hasConfig = false;
    std::vector<uint8_t> config;  // the encoded block, format.size bytes
    HubConfig model;
    ConfigFormat format;
};

// Builds what the description describes: an image when it has an [image]
// section, a configuration block when it has configuration keys.  False with
// the reason ("line N: ...") on any mistake, including an image that would
// not classify as the class it claims (unless "check_class = no").
bool BuildSample(const std::string& description, SampleFiles* out, std::string* error);

// The filler byte of the code area at an offset.  Its bytes step by 7, so no
// run of them spells a chip marker or "EROM".
uint8_t SampleCodeByte(int offset);

#include "files/ImageBuilder.h"

#include <algorithm>
#include <cstring>

#include "files/ConfigText.h"
#include "files/FirmwareImage.h"
#include "hub/CHubIsp.h"

namespace {

std::string LineError(int line, const std::string& reason) { return "line " + std::to_string(line) + ": " + reason; }

// "OFFSET LENGTH" or "OFFSET HH HH ...": whitespace-separated numbers.
std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    std::string word;
    for (char ch : text) {
        if (ch == ' ' || ch == '\t' || ch == ',') {
            if (!word.empty()) words.push_back(word);
            word.clear();
        } else {
            word.push_back(ch);
        }
    }
    if (!word.empty()) words.push_back(word);
    return words;
}

const char* DefaultMarker(int imageClass) {
    switch (imageClass) {
    case 2: return "VXI2240";
    case 5: return "VXI2210";
    case 4: return "EROM";
    default: return "";
    }
}

struct ImageKeys {
    int imageClass = 0;
    bool hasClass = false;
    long size = -1;
    long fill = 0xFF;
    std::vector<std::pair<long, long>> code;                      // offset, length
    bool hasMarker = false;
    std::string marker;
    long markerOffset = -1;
    bool hasProduct = false;
    long product = 0;
    bool hasVersion = false;
    long version = 0;
    std::vector<std::pair<long, std::vector<uint8_t>>> bytes;  // offset, bytes
    bool checksum = false;
    bool checkClass = true;
};

bool ReadImageKeys(const std::vector<DescriptionEntry>& entries, ImageKeys* k, std::string* error) {
    auto fail = [&](int line, const std::string& reason) {
        if (error) *error = LineError(line, reason);
        return false;
    };
    for (const DescriptionEntry& e : entries) {
        long n = 0;
        if (e.key == "class") {
            if (!ParseNumber(e.value, -1, 5, &n) || n == 0 || n == 3)
                return fail(e.line, "class must be -1, 1, 2, 4 or 5");
            k->imageClass = static_cast<int>(n);
            k->hasClass = true;
        } else if (e.key == "size") {
            if (!ParseNumber(e.value, 0, 0x100000, &k->size)) return fail(e.line, "size must be 0 to 0x100000");
        } else if (e.key == "fill") {
            if (!ParseNumber(e.value, 0, 0xFF, &k->fill)) return fail(e.line, "fill must be a byte");
        } else if (e.key == "code") {
            const std::vector<std::string> w = Words(e.value);
            long offset = 0, length = 0;
            if (w.size() != 2 || !ParseNumber(w[0], 0, 0x100000, &offset) || !ParseNumber(w[1], 0, 0x100000, &length))
                return fail(e.line, "code takes OFFSET LENGTH");
            k->code.emplace_back(offset, length);
        } else if (e.key == "marker") {
            std::string text;
            if (!ParseQuoted(e.value, &text)) return fail(e.line, "bad marker text");
            k->hasMarker = true;
            k->marker = text == "none" ? std::string() : text;
        } else if (e.key == "marker_offset") {
            if (!ParseNumber(e.value, 0, 0x100000, &k->markerOffset)) return fail(e.line, "bad marker_offset");
        } else if (e.key == "product") {
            if (!ParseNumber(e.value, 0, 0xFFFF, &k->product)) return fail(e.line, "product must be 0 to 0xFFFF");
            k->hasProduct = true;
        } else if (e.key == "version") {
            if (!ParseNumber(e.value, 0, 0xFFFF, &k->version)) return fail(e.line, "version must be 0 to 0xFFFF");
            k->hasVersion = true;
        } else if (e.key == "bytes") {
            const std::vector<std::string> w = Words(e.value);
            long offset = 0;
            if (w.size() < 2 || !ParseNumber(w[0], 0, 0x100000, &offset))
                return fail(e.line, "bytes takes OFFSET HH [HH ...]");
            std::vector<uint8_t> values;
            for (size_t i = 1; i < w.size(); ++i) {
                long b = 0;
                if (!ParseNumber("0x" + w[i], 0, 0xFF, &b)) return fail(e.line, "bad byte " + w[i]);
                values.push_back(static_cast<uint8_t>(b));
            }
            k->bytes.emplace_back(offset, values);
        } else if (e.key == "checksum") {
            if (!ParseBool(e.value, &k->checksum)) return fail(e.line, "checksum must be yes or no");
        } else if (e.key == "check_class") {
            if (!ParseBool(e.value, &k->checkClass)) return fail(e.line, "check_class must be yes or no");
        } else {
            return fail(e.line, "unknown image key " + e.key);
        }
    }
    if (!k->hasClass) {
        if (error) *error = "the [image] section needs a class";
        return false;
    }
    return true;
}

bool Fits(long offset, long length, size_t size) {
    return offset >= 0 && length >= 0 && static_cast<size_t>(offset) + static_cast<size_t>(length) <= size;
}

}  // namespace

uint8_t SampleCodeByte(int offset) { return static_cast<uint8_t>((0x31 + 7 * static_cast<unsigned>(offset)) & 0xFF); }

bool BuildSample(const std::string& description, SampleFiles* out, std::string* error) {
    Description d;
    if (!ParseDescription(description, &d, error)) return false;
    SampleFiles s;

    ImageKeys k;
    if (d.hasImage && !ReadImageKeys(d.image, &k, error)) return false;

    if (d.hasConfig) {
        // An image's class decides the configuration's format unless the
        // description names it.
        const int defaultType = d.hasImage ? (k.imageClass == -1 ? 1 : k.imageClass) : 2;
        if (!ConfigFromEntries(d.config, defaultType, &s.model, &s.format, error)) return false;
        s.config.assign(static_cast<size_t>(s.format.size), 0);
        EncodeConfig(s.model, s.format, s.config.data(), s.format.size);
        s.hasConfig = true;
    }
    if (!d.hasImage) {
        if (!s.hasConfig) {
            if (error) *error = "the description holds neither an image nor a configuration";
            return false;
        }
        if (out) *out = s;
        return true;
    }

    const int cls = k.imageClass;
    const bool eeprom = cls == 4 || cls == -1;
    const long size = k.size >= 0 ? k.size : (eeprom ? kEepromImageMax : StoreSize(cls));
    std::vector<uint8_t> image(static_cast<size_t>(size), static_cast<uint8_t>(k.fill));

    for (const auto& range : k.code) {
        if (!Fits(range.first, range.second, image.size())) {
            if (error) *error = "code range lies outside the image";
            return false;
        }
        for (long i = 0; i < range.second; ++i)
            image[static_cast<size_t>(range.first + i)] = SampleCodeByte(static_cast<int>(range.first + i));
    }

    if (s.hasConfig) {
        if (cls == 4) {
            if (s.format.layout != ConfigLayout::Eeprom) {
                if (error) *error = "a class-4 image holds an EEPROM-layout configuration";
                return false;
            }
            // An EEPROM image shorter than the block takes what fits (an
            // empty one has no bytes to copy into).
            std::copy_n(s.config.begin(), std::min(image.size(), s.config.size()), image.begin());
        } else {
            const ConfigLayout wanted = cls == 1 || cls == -1 ? ConfigLayout::Wide : ConfigLayout::Compact;
            const int merge = MergeLength(cls);
            if (s.format.layout != wanted || s.format.size < merge) {
                if (error) *error = std::string("a class-") + std::to_string(cls) + " image holds a " +
                                    LayoutName(wanted) + " configuration";
                return false;
            }
            if (!Fits(kFlashConfigOffset, merge, image.size())) {
                if (error) *error = "the image is too short for its configuration block at 0x100";
                return false;
            }
            std::memcpy(image.data() + kFlashConfigOffset, s.config.data(), static_cast<size_t>(merge));
        }
    }

    const std::string marker = k.hasMarker ? k.marker : DefaultMarker(cls);
    if (!marker.empty()) {
        const long at = k.markerOffset >= 0 ? k.markerOffset : (cls == 4 ? kEepromMarkerOffset : kIdAreaOffset);
        if (!Fits(at, static_cast<long>(marker.size()), image.size())) {
            if (error) *error = "the marker lies outside the image";
            return false;
        }
        std::memcpy(image.data() + at, marker.data(), marker.size());
    }

    const bool small = image.size() <= static_cast<size_t>(kEepromImageMax);
    if (k.hasProduct) {
        const long at = cls == 4 ? kEepromProductOffset : kFlashProductOffset;
        if (!Fits(at, 2, image.size())) {
            if (error) *error = "the product ID lies outside the image";
            return false;
        }
        image[static_cast<size_t>(at)] = static_cast<uint8_t>(k.product & 0xFF);
        image[static_cast<size_t>(at + 1)] = static_cast<uint8_t>(k.product >> 8);
    }
    if (k.hasVersion) {
        const long low = small ? kEepromVersionLow : kFlashVersionLow;
        if (!Fits(low, 2, image.size())) {
            if (error) *error = "the version bytes lie outside the image";
            return false;
        }
        image[static_cast<size_t>(low)] = static_cast<uint8_t>(k.version & 0xFF);
        image[static_cast<size_t>(low + 1)] = static_cast<uint8_t>(k.version >> 8);
    }
    for (const auto& poke : k.bytes) {
        if (!Fits(poke.first, static_cast<long>(poke.second.size()), image.size())) {
            if (error) *error = "bytes lie outside the image";
            return false;
        }
        std::memcpy(image.data() + poke.first, poke.second.data(), poke.second.size());
    }
    if (k.checksum) {
        if (image.size() < 3) {
            if (error) *error = "an image with a checksum needs at least 3 bytes";
            return false;
        }
        const size_t n = image.size();
        const uint16_t sum = CalcChecksum(image.data(), static_cast<int>(n - 2));
        image[n - 2] = static_cast<uint8_t>(sum >> 8);
        image[n - 1] = static_cast<uint8_t>(sum & 0xFF);
    }

    const int got = CHubIsp::ClassifyImage(image.data(), static_cast<int>(image.size()));
    if (k.checkClass && got != cls) {
        if (error) *error = "the image classifies as " + std::to_string(got) + ", not " + std::to_string(cls);
        return false;
    }
    s.hasImage = true;
    s.image.swap(image);
    s.imageClass = got;
    if (out) *out = s;
    return true;
}

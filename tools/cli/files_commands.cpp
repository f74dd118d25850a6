// tessaro-cli subcommands on firmware images and configuration files:
//   classify FILE
//   sum IMAGE [--class C] [--eep FILE] -o OUT
//   eep show FILE [--hub-type T] [--form full|compact]
//   eep make DESCRIPTION -o OUT
#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include "files/ConfigBlock.h"
#include "files/ConfigText.h"
#include "files/EepFile.h"
#include "files/FilePort.h"
#include "files/FirmwareImage.h"
#include "files/ImageBuilder.h"
#include "files/StoreFiles.h"
#include "hub/CHubIsp.h"
#include "tools/cli/cli.h"
#include "tools/cli/output.h"

namespace {

constexpr long kNotGiven = LONG_MIN;

std::string BaseName(const std::string& path) {
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool ReadFile(const std::string& path, std::vector<uint8_t>& bytes, std::string* reason) {
    uint32_t code = 0;
    if (ReadWholeFile(path, bytes, code)) return true;
    const std::string text = SystemErrorText(code);
    *reason = "cannot read " + path + (text.empty() ? std::string() : ": " + text);
    return false;
}

int Classify(cli::Args& args) {
    if (args.Rest().size() != 1) return cli::Fail("usage: classify FILE");
    const std::string path = args.Rest()[0];
    std::vector<uint8_t> image;
    std::string reason;
    if (!ReadFile(path, image, &reason)) return cli::Fail(reason);

    const int length = static_cast<int>(image.size() > 0x7FFFFFFF ? 0x7FFFFFFF : image.size());
    const int cls = CHubIsp::ClassifyImage(image.data(), length);
    const ImageVersion version = ReadImageVersion(image.data(), length);
    cli::Say("file = %s\n", path.c_str());
    cli::Say("length = %d\n", length);
    cli::Say("class = %d\n", cls);
    cli::Result()["file"] = path;
    cli::Result()["length"] = length;
    cli::Result()["class"] = cls;
    if (cls == -1) return cli::Fail(kCannotDetermineBin);

    const uint16_t product = ImageProductId(image.data(), length, cls);
    cli::Say("product_id = 0x%04X\n", product);
    cli::Say("model = %s\n", ModelName(product));
    cli::Say("version = %s\n", VersionText(version.high, version.low).c_str());
    cli::Result()["product_id"] = product;
    cli::Result()["model"] = ModelName(product);
    cli::Result()["version"] = VersionText(version.high, version.low);
    const int store = StoreSize(cls);
    if (length == store) {
        const uint16_t sum = CalcChecksum(image.data(), store - 2);
        const bool valid = image[static_cast<size_t>(store - 2)] == (sum >> 8) &&
                           image[static_cast<size_t>(store - 1)] == (sum & 0xFF);
        cli::Say("checksum = %s (0x%04X)\n", valid ? "valid" : "none", sum);
        cli::Result()["checksum"] = {{"valid", valid}, {"value", sum}};
    } else {
        cli::Say("store_size = %d (the image is %s)\n", store, length < store ? "padded when programmed" : "longer");
        cli::Result()["store_size"] = store;
    }
    cli::Say("status = %s\n", LoadStatusText(cls, product).c_str());
    cli::Result()["status"] = LoadStatusText(cls, product);
    return 0;
}
TESSARO_CLI_COMMAND("classify", "classify FILE", Classify);

int Sum(cli::Args& args) {
    std::string out, eep;
    long cls = kNotGiven;
    if (!args.Number("--class", cls, false)) return 1;
    const bool hasClass = cls != kNotGiven;
    args.Option("--eep", eep);
    if (!args.Option("-o", out) || args.Rest().size() != 1)
        return cli::Fail("usage: sum IMAGE [--class C] [--eep FILE] -o OUT");
    const std::string path = args.Rest()[0];

    std::vector<uint8_t> image;
    std::string reason;
    if (!ReadFile(path, image, &reason)) return cli::Fail(reason);
    const int length = static_cast<int>(image.size() > 0x7FFFFFFF ? 0x7FFFFFFF : image.size());
    if (!hasClass) cls = CHubIsp::ClassifyImage(image.data(), length);
    if (cls == -1 && !hasClass) return cli::Fail(kCannotDetermineBin);
    if (StoreSize(static_cast<int>(cls)) == 0) return cli::Fail("no store size for class " + std::to_string(cls));

    std::vector<uint8_t> config;
    if (!eep.empty()) {
        // The configuration must be the one a hub of the image's class holds.
        const EepLoad load = LoadEepForHub(eep, BaseName(eep), static_cast<int>(cls), EepOwner::Console);
        if (!load.ok) return cli::Fail(load.report.message);
        config = load.block;
    }
    const ImageVersion version = ReadImageVersion(image.data(), length);
    const SumImage sum = BuildSumImage(image.data(), length, static_cast<int>(cls), config.empty() ? nullptr : config.data(),
                                       static_cast<int>(config.size()), version);
    UiReport report;
    if (!WriteSumFile(out, sum, ToolOwner::Console, &report)) return cli::Fail(report.message);
    cli::Say("%s\n", sum.okText.c_str());
    cli::Result()["file"] = out;
    cli::Result()["class"] = cls;
    cli::Result()["checksum"] = sum.checksum;
    cli::Result()["reported_sum"] = sum.reportedSum;
    return 0;
}
TESSARO_CLI_COMMAND("sum", "sum IMAGE [--class C] [--eep FILE] -o OUT", Sum);

int EepShow(cli::Args& args) {
    std::string formText;
    const bool hasForm = args.Option("--form", formText);
    long hubType = kNotGiven;
    if (!args.Number("--hub-type", hubType, false)) return 1;
    const bool hasType = hubType != kNotGiven;
    if (args.Rest().size() != 1) return cli::Fail("usage: eep show FILE [--hub-type T] [--form full|compact]");
    const std::string path = args.Rest()[0];
    std::vector<uint8_t> block;
    std::string reason;
    if (!ReadFile(path, block, &reason)) return cli::Fail(reason);
    const int size = static_cast<int>(block.size() > 0x7FFFFFFF ? 0x7FFFFFFF : block.size());

    ConfigFormat format;
    if (hasType) {
        if (!ConfigFormatForHubType(static_cast<int>(hubType), &format))
            return cli::Fail("no configuration block for hub type " + std::to_string(hubType));
        if (format.size != size)
            return cli::Fail(path + ": " + std::to_string(size) + " bytes, hub type " + std::to_string(hubType) +
                             " holds " + std::to_string(format.size));
    } else if (!ConfigFormatForSize(size, &format)) {
        return cli::Fail(path + ": " + std::to_string(size) + " bytes is not a configuration block (144, 256 or 512)");
    }
    if (hasForm) {
        if (formText == "full") format.form = ConfigForm::Full;
        else if (formText == "compact") format.form = ConfigForm::Compact;
        else return cli::Fail("--form must be full or compact");
    }
    ConfigDecodeNotes notes;
    const HubConfig config = DecodeConfig(block.data(), size, format, &notes);
    const std::string configText = ConfigToText(config, format, &notes);
    cli::Say("%s", configText.c_str());
    cli::Result()["file"] = path;
    cli::Result()["bytes"] = size;
    cli::Result()["text"] = configText;
    if (!notes.markerValid) {
        char text[80];
        std::snprintf(text, sizeof text, "%s: first byte 0x%02X is neither 0x55 nor 0xAA", path.c_str(),
                      size > 0 ? block[0] : 0);
        return cli::Fail(text);
    }
    return 0;
}

int EepMake(cli::Args& args) {
    std::string out;
    if (!args.Option("-o", out) || args.Rest().size() != 1) return cli::Fail("usage: eep make DESCRIPTION -o OUT");
    const std::string path = args.Rest()[0];
    std::vector<uint8_t> text;
    std::string reason;
    if (!ReadFile(path, text, &reason)) return cli::Fail(reason);
    SampleFiles sample;
    std::string error;
    if (!BuildSample(std::string(text.begin(), text.end()), &sample, &error)) return cli::Fail(path + ": " + error);
    if (!sample.hasConfig) return cli::Fail(path + ": the description holds no configuration");
    uint32_t code = 0;
    if (!WriteWholeFile(out, sample.config.data(), sample.config.size(), code))
        return cli::Fail("cannot write " + out + ": " + SystemErrorText(code));
    cli::Say("%s: %s configuration block of %zu bytes\n", out.c_str(), LayoutName(sample.format.layout),
             sample.config.size());
    cli::Result()["file"] = out;
    cli::Result()["layout"] = LayoutName(sample.format.layout);
    cli::Result()["bytes"] = sample.config.size();
    return 0;
}

int Eep(cli::Args& args) {
    if (args.Rest().empty()) return cli::Fail("usage: eep show FILE | eep make DESCRIPTION -o OUT");
    const std::string verb = args.Rest()[0];
    std::vector<std::string> rest(args.Rest().begin() + 1, args.Rest().end());
    // Options may stand anywhere; the remaining words lose the verb.
    cli::Args sub(rest);
    if (verb == "show") return EepShow(sub);
    if (verb == "make") return EepMake(sub);
    return cli::Fail("unknown eep command " + verb + " (show, make)");
}
TESSARO_CLI_COMMAND("eep", "eep show FILE [--hub-type T] [--form full|compact] | eep make DESCRIPTION -o OUT", Eep);

}  // namespace

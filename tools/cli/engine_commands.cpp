// tessaro-cli: the engine's operations on one hub.
#include <cstdio>
#include <cstring>

#include "files/FilePort.h"
#include "files/FirmwareImage.h"
#include "hub/CHubIsp.h"
#include "tools/cli/cli.h"
#include "tools/cli/gang.h"
#include "tools/cli/output.h"

namespace {

bool HubOption(cli::Args& args, int& hub) {
    long value = 0;
    if (!args.Number("--hub", value, true)) return false;
    hub = static_cast<int>(value);
    return true;
}

bool ParseHex(const std::string& text, std::vector<uint8_t>& out) {
    std::string digits;
    for (char c : text) {
        if (c == ' ' || c == ':' || c == ',') continue;
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
        digits.push_back(c);
    }
    if (digits.size() % 2) return false;
    for (size_t i = 0; i < digits.size(); i += 2)
        out.push_back(static_cast<uint8_t>(std::strtoul(digits.substr(i, 2).c_str(), nullptr, 16)));
    return true;
}

std::string Hex(const uint8_t* data, size_t size) {
    std::string out;
    char item[4];
    for (size_t i = 0; i < size; ++i) {
        std::snprintf(item, sizeof item, "%02X", data[i]);
        if (i) out += (i % 16 == 0) ? "\n" : " ";
        out += item;
    }
    return out;
}

// Whether the driver itself answers: then a failed enumeration means that
// there is simply no hub.
bool DriverPresent() {
    tessaro::Handle h = tessaro::Sys().driver->Open(kFilterDriverName);
    if (h == tessaro::kInvalidHandle) return false;
    tessaro::Sys().driver->Close(h);
    return true;
}

int List(cli::Args&) {
    cli::QuietIsp isp;
    if (!isp.OpenDevice()) {
        if (isp.m_lasterror == "Device or driver is not found!" && DriverPresent()) {
            cli::Say("no hub found\n");
            cli::Result()["count"] = 0;
            cli::Result()["hubs"] = nlohmann::json::array();
            return 0;
        }
        return cli::Fail(isp.m_lasterror);
    }
    unsigned count = 0;
    if (!isp.GetHubNumber(&count)) return cli::Fail("Get hub number ERROR!");
    cli::Say("%u hub(s)\n", count);
    cli::Result()["count"] = count;
    cli::Result()["hubs"] = nlohmann::json::array();
    for (unsigned i = 0; i < count; ++i) {
        HubRecord r{};
        if (!isp.GetHubInfo(&r, i)) return cli::Fail("Get hub info ERROR!");
        cli::Result()["hubs"].push_back({{"index", i},
                                         {"handle", r.handle},
                                         {"dev_type", r.devType},
                                         {"vid", r.idVendor},
                                         {"pid", r.idProduct},
                                         {"bcd_device", r.bcdDevice},
                                         {"bcd_usb", r.bcdUSB}});
        cli::Say("hub %u: handle %u, type %d, VID %04X, PID %04X, bcdDevice %04X, bcdUSB %04X\n", i,
                    static_cast<unsigned>(r.handle), r.devType, r.idVendor, r.idProduct, r.bcdDevice, r.bcdUSB);
    }
    isp.CloseDevice();
    return 0;
}
TESSARO_CLI_COMMAND("list", "list                       the hubs of the latest enumeration", List);

int Request(cli::Args& args) {
    int hub = 0;
    long type = 0, request = 0, value = 0, index = 0, length = 0;
    if (!HubOption(args, hub) || !args.Number("--type", type, true) || !args.Number("--request", request, true) ||
        !args.Number("--value", value, true) || !args.Number("--index", index, true) ||
        !args.Number("--length", length, true))
        return 1;
    std::string dataText;
    std::vector<uint8_t> data;
    if (args.Option("--data", dataText) && !ParseHex(dataText, data)) return cli::Fail("--data is not hexadecimal");
    if (length < 0 || length > 0xFFFF) return cli::Fail("--length must be 0 to 65535");
    if (data.size() > static_cast<size_t>(length)) return cli::Fail("more --data than --length");
    cli::QuietIsp isp;
    if (!isp.OpenDevice()) return cli::Fail(isp.m_lasterror);
    if (!isp.SetHubIndex(hub)) return cli::Fail(isp.m_lasterror);
    RequestRecord rec(16 + static_cast<int>(length));
    rec.Set(static_cast<uint8_t>(type), static_cast<uint8_t>(request), static_cast<uint16_t>(value),
            static_cast<uint16_t>(index), static_cast<uint16_t>(length));
    if (!data.empty()) std::memcpy(rec.Data(), data.data(), data.size());
    int ok = isp.SendUsbRequest(rec);
    isp.CloseDevice();
    if (!ok) return cli::Fail(isp.m_lasterror);
    if (type & 0x80) {
        const std::string hex = Hex(rec.Data(), static_cast<size_t>(length));
        cli::Say("%s\n", hex.c_str());
        std::string flat;
        for (char c : hex) flat.push_back(c == '\n' ? ' ' : c);
        cli::Result()["data"] = flat;
    } else {
        cli::Say("ok\n");
        cli::Result()["data"] = nullptr;
    }
    return 0;
}
TESSARO_CLI_COMMAND("request",
                    "request --hub N --type T --request R --value V --index I --length L [--data HEX]\n"
                    "                             one vendor request; prints the data that comes back",
                    Request);

int Identify(cli::Args& args) {
    int hub = 0;
    if (!HubOption(args, hub)) return 1;
    cli::QuietIsp isp;
    int type = isp.GetChipType(hub, 1);
    if (type == CHIP_ID_UNKNOWN) return cli::Fail(isp.m_lasterror);
    cli::Say("HubType %d %s (%s)\n", type, HubTypeName(type), HubTypeText(type));
    cli::Say("code: %s\n", isp.IsMaskRom(hub) ? "mask ROM" : "own code (from the store)");
    cli::Result()["hub"] = hub;
    cli::Result()["hub_type"] = type;
    cli::Result()["hub_type_name"] = HubTypeName(type);
    cli::Result()["hub_type_text"] = HubTypeText(type);
    cli::Result()["mask_rom"] = isp.IsMaskRom(hub) != 0;
    cli::Result()["flash"] = nullptr;
    if (IsSpiHubType(type)) {
        uint8_t f = 0;
        if (isp.OpenDevice() && isp.GetFlashIndex(&f, hub)) {
            cli::Result()["flash"] = {{"index", f},
                                      {"block_size", isp.GetDataSize(f)},
                                      {"erase_delay_ms", isp.EraseDelay()},
                                      {"write_delay_ms", isp.WriteDelay()}};
            cli::Say("flash index: %u (block size %u, erase delay %d ms, write delay %d ms)\n", f, isp.GetDataSize(f),
                        isp.EraseDelay(), isp.WriteDelay());
        } else {
            cli::Say("flash index: none (%s)\n", isp.m_lasterror.c_str());
        }
        isp.CloseDevice();
    }
    return 0;
}
TESSARO_CLI_COMMAND("identify", "identify --hub N            chip identification (enters ISP mode)", Identify);

int Read(cli::Args& args) {
    int hub = 0;
    long mode = 0, length = 0;
    std::string out;
    if (!HubOption(args, hub) || !args.Number("--mode", mode, true) || !args.Number("--length", length, true))
        return 1;
    if (!args.Option("-o", out)) return cli::Fail("missing -o FILE");
    if (length < 0 || length > 0x10000) return cli::Fail("--length out of range");
    cli::QuietIsp isp;
    isp.LoadFlashInfo();
    std::vector<uint8_t> data(static_cast<size_t>(length ? length : 1));
    if (!isp.ReadData(data.data(), static_cast<int>(length), static_cast<int>(mode), static_cast<unsigned>(hub)))
        return cli::Fail(isp.m_lasterror);
    data.resize(static_cast<size_t>(length));
    uint32_t error = 0;
    if (!WriteWholeFile(out, data.data(), data.size(), error))
        return cli::Fail("cannot write " + out + ": " + SystemErrorText(error));
    cli::Say("%ld bytes written to %s\n", length, out.c_str());
    cli::Result()["hub"] = hub;
    cli::Result()["mode"] = mode;
    cli::Result()["bytes"] = length;
    cli::Result()["file"] = out;
    return 0;
}
TESSARO_CLI_COMMAND("read", "read --hub N --mode 0|1 --length L -o FILE   the store (0) or the configuration block (1)",
                    Read);

int Erase(cli::Args& args) {
    int hub = 0;
    if (!HubOption(args, hub)) return 1;
    cli::QuietIsp isp;
    int type = isp.GetChipType(hub, 1);
    if (type == CHIP_ID_UNKNOWN) return cli::Fail(isp.m_lasterror);
    int ok = IsSpiHubType(type) ? isp.EraseFlash(hub, nullptr) : isp.EraseEeprom(hub);
    if (!ok) return cli::Fail(isp.m_lasterror);
    cli::Say("%s\n", isp.m_lasterror.empty() ? "erased" : isp.m_lasterror.c_str());
    cli::Result()["hub"] = hub;
    cli::Result()["message"] = isp.m_lasterror.empty() ? "erased" : isp.m_lasterror;
    return 0;
}
TESSARO_CLI_COMMAND("erase", "erase --hub N               erase the hub's store", Erase);

int Reset(cli::Args& args) {
    int hub = 0;
    if (!HubOption(args, hub)) return 1;
    cli::QuietIsp isp;
    if (!isp.SoftwareReset(hub)) return cli::Fail(isp.m_lasterror);
    cli::Say("reset\n");
    cli::Result()["hub"] = hub;
    return 0;
}
TESSARO_CLI_COMMAND("reset", "reset --hub N               restart the hub", Reset);

int Update(cli::Args& args) {
    if (args.Flag("--all")) return cli::GangUpdate(args);
    int hub = 0;
    long imageClass = 0;
    bool classGiven = false;
    if (!HubOption(args, hub)) return 1;
    {
        std::string text;
        if (args.Option("--class", text)) {
            char* end = nullptr;
            imageClass = std::strtol(text.c_str(), &end, 0);
            if (text.empty() || *end) return cli::Fail("--class is not a number");
            classGiven = true;
        }
    }
    bool force = args.Flag("--force");
    if (args.Rest().size() != 1) return cli::Fail("update needs exactly one IMAGE");
    const std::string image = args.Rest()[0];
    std::vector<uint8_t> data;
    uint32_t error = 0;
    if (!tessaro::Sys().files->ReadAll(image, data, error))
        return cli::Fail("Couldn't open firmware file! " + image + ": " + tessaro::Sys().errors->Text(error));
    if (!classGiven) imageClass = CHubIsp::ClassifyImage(data.data(), static_cast<int>(data.size()));
    if (imageClass == -1 && !classGiven) return cli::Fail("Cannot determine hub part number in the binary file!");

    cli::QuietIsp isp;
    // The hub identified here is the hub the update writes: should another
    // take its place in between, the update refuses it.
    CHubIsp::OperationScope sameHub(isp);
    int type = isp.GetChipType(hub, 1);
    if (type == CHIP_ID_UNKNOWN) return cli::Fail(isp.m_lasterror);
    cli::Say("hub %d: %s; image class %ld\n", hub, HubTypeText(type), imageClass);
    cli::Result()["hub"] = hub;
    cli::Result()["hub_type"] = type;
    cli::Result()["image"] = image;
    cli::Result()["image_class"] = imageClass;
    if (!ImageFitsHub(static_cast<int>(imageClass), type) && !force)
        return cli::Fail("Mismatched firmware and Hub! (--force writes it all the same)");

    // A quiet session reports no progress, only its result.
    ProgressByte progress{0};
    SharedText status;
    ErrorFlag errorFlag{0};
    int result = isp.UpdateFirmware(hub, static_cast<int>(imageClass), data.data(), static_cast<int>(data.size()),
                                    &progress, &status, &errorFlag);
    if (!result) return cli::Fail(isp.m_lasterror);
    cli::Say("Firmware update successfully!\n");
    return 0;
}
TESSARO_CLI_COMMAND("update",
                    "update --hub N IMAGE [--class C] [--force]  program the image (class from its markers unless given)\n"
                    "  update --all IMAGE [--eep FILE] [--jobs N] [--backup DIR [--rollback]] [--record FILE]\n"
                    "                             every hub the image fits, each on its own thread",
                    Update);

}  // namespace

// CHubIsp: chip identification, the flash part table and the mask-ROM
// versions.
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "hub/CHubIsp.h"
#include "platform/winconst.h"
#include "settings/DebugLog.h"

using tessaro::Sys;

namespace {

constexpr int kIdCompareMax = 3;  // identification bytes live in columns 2..4

bool Contains(const uint8_t* data, size_t size, const char* marker) {
    size_t n = std::strlen(marker);
    if (n > size) return false;
    for (size_t i = 0; i + n <= size; ++i) {
        if (std::memcmp(data + i, marker, n) == 0) return true;
    }
    return false;
}

}  // namespace

const char* HubTypeName(int type) {
    switch (type) {
        case CHIP_ID_VX2230_SPI: return "CHIP_ID_VX2230_SPI";
        case CHIP_ID_VX2240_SPI: return "CHIP_ID_VX2240_SPI";
        case CHIP_ID_VX2240_EEPROM: return "CHIP_ID_VX2240_EEPROM";
        case CHIP_ID_VX2240_EEPROM_LITE: return "CHIP_ID_VX2240_EEPROM_LITE";
        case CHIP_ID_VX2210_SPI: return "CHIP_ID_VX2210_SPI";
        default: return "CHIP_ID_UNKNOWN";
    }
}

namespace {

// The application's own message boxes carry the program's name.
std::string AppTitle() {
    std::string module = Sys().files->ModuleFileName();
    size_t slash = module.find_last_of("\\/");
    std::string name = slash == std::string::npos ? module : module.substr(slash + 1);
    size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

}  // namespace

int CHubIsp::GetChipType(int hubIndex, int enterIsp) {
    std::string override = m_ini.GetString("DefaultChipType", "VX7100");
    LoadFlashInfo();
    if (override == "2230_SPI") return CHIP_ID_VX2230_SPI;
    if (override == "2240_SPI") return CHIP_ID_VX2240_SPI;
    if (override == "2250_SPI") return CHIP_ID_VX2210_SPI;
    if (override == "2240_EEP") return CHIP_ID_VX2240_EEPROM;
    if (override == "2240_EEP_LITE") return CHIP_ID_VX2240_EEPROM_LITE;

    // The per-hub members hold 8 hubs: a higher index is refused before any
    // of them is touched.
    if (!HubIndexValid(hubIndex)) {
        Box("Set index ERROR! unknown chip type.");
        m_lasterror = "Set index ERROR! unknown chip type.";
        return CHIP_ID_UNKNOWN;
    }

    OperationScope scope(*this);
    m_maskrom[hubIndex] = 0;
    if (!OpenDevice()) {
        Box("Open Device ERROR! unknown chip type.");
        m_lasterror = "Open Device ERROR! unknown chip type.";
        CloseDevice();
        return CHIP_ID_UNKNOWN;
    }
    if (!SelectHub(hubIndex)) {
        std::string text = SelectError("Set index ERROR! unknown chip type.");
        Box(text);
        m_lasterror = text;
        CloseDevice();
        return CHIP_ID_UNKNOWN;
    }
    HubRecord record{};
    // The place the selection found the hub at (the index itself unless the
    // operation follows a pinned hub that moved).
    if (!GetHubInfo(&record, static_cast<unsigned>(m_hubindex))) {
        Box("Get hub info ERROR! unknown chip type.");
        m_lasterror = "Get hub info ERROR! unknown chip type.";
        CloseDevice();
        return CHIP_ID_UNKNOWN;
    }
    m_hubrecord[hubIndex] = record;
    if (record.bcdDevice == 0x0301) m_maskrom[hubIndex] = 1;

    int type = CHIP_ID_UNKNOWN;
    auto failing = [&](const char* text) {
        Box(text);
        m_lasterror = text;
    };
    // One 80-byte record per read: the data of a read never leaks into the next.
    // A read that fails twice fails the identification.
    auto read = [&](uint16_t wValue, uint16_t wIndex, uint16_t wLength, uint8_t* out) -> bool {
        RequestRecord rec(80);
        rec.Set(0xC0, 0x82, wValue, wIndex, wLength);
        if (!SendWithRetry(rec)) {
            failing("Read data failed!");
            return false;
        }
        std::memcpy(out, rec.Data(), wLength);
        return true;
    };
    // The mounted flash part, and the delays it asks for.
    auto findPart = [&](uint8_t& f) -> bool {
        LoadFlashInfo();
        if (!GetFlashIndex(&f, hubIndex)) {
            failing("Mismatched FLASH type!");
            return false;
        }
        m_erasedelay = m_flashinfo[f][11] * 100;
        m_writedelay = m_flashinfo[f][12];
        DebugLog("Erase Delay = %d, Write Delay = %d", m_erasedelay, m_writedelay);
        return true;
    };

    do {
        uint8_t storeType = 0;
        if (!read(0x0004, 0, 1, &storeType)) break;
        Sys().clock->Sleep(200);
        {
            RequestRecord rec(80);
            rec.Set(0xC0, 0x82, 0x0004, 0, 1);
            if (!SendUsbRequest(rec)) {
                failing("Read data failed!");
                break;
            }
            storeType = rec.Data()[0];
        }
        bool eeprom = storeType == 1;
        Sys().clock->Sleep(100);

        if (m_enterisp > 0 && enterIsp == 1) {
            RequestRecord rec(16);
            rec.Set(0x40, 0x81, 0x0001, eeprom ? 1 : 0, 0);
            if (!SendWithRetry(rec)) {
                Box("Enter ISP Mode ERROR!");
                m_lasterror = "Enter ISP Mode Error!";
                break;
            }
        }

        bool maskRom = record.bcdDevice == 0x0400 || record.bcdDevice == 0x0401 || record.bcdDevice == 0x0402 ||
                       record.bcdDevice == 0x0410 || record.bcdDevice == 0x0500;
        LoadMaskVersions();
        for (const std::string& v : m_maskversions) {
            // An empty entry ("/0403") names no version.
            if (!v.empty() && static_cast<uint16_t>(std::strtoul(v.c_str(), nullptr, 16)) == record.bcdDevice)
                maskRom = true;
        }

        if (maskRom) {
            m_maskrom[hubIndex] = 1;
            if (!eeprom) {
                uint8_t f = 0;
                if (!findPart(f)) break;
                type = record.bcdDevice == 0x0500 ? CHIP_ID_VX2210_SPI : CHIP_ID_VX2240_SPI;
            } else if (record.bcdDevice == 0x0500) {
                type = CHIP_ID_VX2240_EEPROM_LITE;
            } else {
                uint8_t marker[4];
                if (!read(0x0200, 0x001C, 4, marker)) break;
                if (std::memcmp(marker, "EROM", 4) == 0) {
                    type = CHIP_ID_VX2240_EEPROM_LITE;
                    break;
                }
                // Which addressing the EEPROM understands: a 1-byte-address part
                // takes the second address byte of a 2-byte-address write as
                // data, so the probe reads back one byte further on.
                RequestRecord probe(80);
                probe.Set(0x40, 0x83, 0x0100, 0, 4);
                std::memcpy(probe.Data(), "2240", 4);
                if (!SendWithRetry(probe)) {
                    failing("Write data failed!");
                    break;
                }
                if (!read(0x0200, 0x0001, 4, marker)) break;
                if (std::memcmp(marker, "2240", 4) == 0) {
                    type = CHIP_ID_VX2240_EEPROM_LITE;
                    break;
                }
                if (!read(0x0100, 0x0000, 4, marker)) break;
                if (std::memcmp(marker, "2240", 4) == 0) type = CHIP_ID_VX2240_EEPROM;
            }
        } else if (!eeprom) {
            uint8_t f = 0;
            if (!findPart(f)) break;
            uint8_t length = m_flashinfo[f][6];
            if (length > 64) length = 64;
            uint8_t area[64];
            if (!read(0x0000, 0x01D0, 64, area)) break;
            // NUL bytes between the strings must not end the search.
            for (uint8_t& b : area) {
                if (b == 0) b = 0xFF;
            }
            if (Contains(area, sizeof area, "VXI2240") || Contains(area, sizeof area, "VXI2260")) {
                type = CHIP_ID_VX2240_SPI;
            } else if (Contains(area, sizeof area, "VXI2210") || Contains(area, sizeof area, "VXI2250")) {
                type = CHIP_ID_VX2210_SPI;
            } else {
                uint8_t code[64];
                if (!read(0x0000, 0x0390, length, code)) break;
                type = CHIP_ID_VX2230_SPI;
            }
        } else {
            uint8_t marker[4];
            if (!read(0x0100, 0x00FC, 4, marker)) break;
            if (std::memcmp(marker, "XROM", 4) == 0) {
                type = CHIP_ID_VX2240_EEPROM;
                break;
            }
            if (!read(0x0200, 0x001C, 4, marker)) break;
            if (std::memcmp(marker, "EROM", 4) == 0) type = CHIP_ID_VX2240_EEPROM_LITE;
        }
    } while (false);

    if (type == CHIP_ID_UNKNOWN) {
        Box("Determine hub part number failed!");
        m_lasterror = "Determine hub part number failed!";
    }
    DebugLog(m_maskrom[hubIndex] ? "hub %d is running mask rom code\n" : "hub %d is running external code\n",
             hubIndex + 1);
    DebugLog("hub %d is %s\n", hubIndex + 1, HubTypeName(type));
    CloseDevice();
    return type;
}

int CHubIsp::GetFlashIndex(uint8_t* flashIndex, int hubIndex) {
    if (m_flashcount == 0) {
        return Fail("Get flash index ERROR!", "Get flash index ERROR! m_flashcount = 0");
    }
    // The operation's own hub, wherever the list holds it now.
    if (!SelectHub(hubIndex)) {
        return Fail(SelectError("Set index ERROR! unknown chip type."));
    }
    if (m_enterisp == 2) {
        RequestRecord rec(16);
        rec.Set(0x40, 0x81, 0x0001, 0, 0);
        if (!SendUsbRequest(rec)) {
            return Fail("Enter ISP mode ERROR!");
        }
    }
    int rows = m_flashcount > kMaxFlashParts ? kMaxFlashParts : m_flashcount;
    for (int r = 0; r < rows; ++r) {
        const uint8_t* row = m_flashinfo[r];
        uint8_t idBytes = row[1];
        RequestRecord rec(16 + idBytes);
        rec.Set(0xC0, 0x82, static_cast<uint16_t>(row[0] << 8 | (row[7] ? 1 : 2)), 0, idBytes);
        if (!SendUsbRequest(rec)) return 0;
        int compare = idBytes < kIdCompareMax ? idBytes : kIdCompareMax;
        if (std::memcmp(rec.Data(), row + 2, static_cast<size_t>(compare)) == 0) {
            // Every read and write of the part goes in blocks of this size, and
            // the block that ends at 0x100 holds the checksum's partner: a size
            // that does not divide 256 cannot be programmed safely.
            uint8_t datasize = row[6];
            if (datasize == 0 || 256 % datasize != 0) {
                DebugLog("flash index = %d has an unusable data size %d", r, datasize);
                return 0;
            }
            if (flashIndex) *flashIndex = static_cast<uint8_t>(r);
            DebugLog("flash index = %d", r);
            return 1;
        }
        if (r == rows - 1) DebugLog("Can't find flash index!");
    }
    return 0;
}

int CHubIsp::LoadFlashInfo() {
    const std::vector<std::string>& lines = m_ini.ReadSection("FlashInfo");
    m_flashcount = static_cast<int>(lines.size());
    if (m_flashcount > kMaxFlashParts) {
        m_flashcount = 0;
        if (m_quiet == 0) Sys().box->Show("Too many flash type!", AppTitle(), tessaro::win::kMbOk);
        m_lasterror = "Too many flash type!";
        return 0;
    }
    std::memset(m_flashinfo, 0, sizeof m_flashinfo);
    for (int r = 0; r < m_flashcount; ++r) {
        std::string line = lines[static_cast<size_t>(r)];
        size_t eq = line.find('=');
        if (eq != std::string::npos) line.erase(0, eq + 1);
        for (int c = 0; c < kFlashInfoColumns; ++c) {
            size_t start = line.find_first_not_of(" \t");
            line.erase(0, start == std::string::npos ? line.size() : start);
            unsigned value = 0;
            for (char ch : line) {
                if (!std::isxdigit(static_cast<unsigned char>(ch))) break;
                value = value * 16 + static_cast<unsigned>(std::isdigit(static_cast<unsigned char>(ch))
                                                               ? ch - '0'
                                                               : std::tolower(static_cast<unsigned char>(ch)) - 'a' + 10);
                value &= 0xFFFF;
            }
            m_flashinfo[r][c] = static_cast<uint8_t>(value & 0xFF);
            size_t blank = line.find(' ');
            if (blank != std::string::npos) line.erase(0, blank + 1);
        }
    }
    return 1;
}

int CHubIsp::LoadMaskVersions() {
    std::string value = m_ini.GetString("MaskVersion", "VX7100");
    m_maskversions.clear();
    if (!value.empty()) {
        size_t start = 0, slash;
        while ((slash = value.find('/', start)) != std::string::npos) {
            m_maskversions.push_back(value.substr(start, slash - start));
            start = slash + 1;
        }
        if (start < value.size()) m_maskversions.push_back(value.substr(start));
    }
    return static_cast<int>(m_maskversions.size());
}

uint8_t CHubIsp::GetDataSize(uint8_t flashIndex) {
    return flashIndex < kMaxFlashParts ? m_flashinfo[flashIndex][6] : 0;
}

uint8_t CHubIsp::GetFlashInfo(uint8_t flashIndex, uint8_t column) {
    return flashIndex < kMaxFlashParts && column < kFlashInfoColumns ? m_flashinfo[flashIndex][column] : 0;
}

int CHubIsp::IsMaskRom(int hubIndex) { return HubIndexValid(hubIndex) ? m_maskrom[hubIndex] : 0; }

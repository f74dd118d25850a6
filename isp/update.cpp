// CHubIsp: the firmware update, from identification to the read-back of the
// whole store.
#include <cstring>
#include <vector>

#include "files/FirmwareImage.h"
#include "hub/CHubIsp.h"
#include "settings/DebugLog.h"

using tessaro::Sys;

namespace {

struct ClassLayout {
    int storeSize;
    int idOffset;
    int idLength;
};

// Store size and container-ID place of every image class; false for a class
// the tool has no store for.
bool LayoutOf(int imageClass, ClassLayout& layout) {
    switch (imageClass) {
        case -1: layout = {0x4000, 0x36E, 32}; return true;
        case 1: layout = {0x4000, 0x36E, 32}; return true;
        case 2:
        case 3: layout = {0x5000, 0x1C0, 16}; return true;
        case 4: layout = {0x100, 0x90, 16}; return true;
        case 5: layout = {0x8000, 0x1C0, 16}; return true;
        default: return false;
    }
}

}  // namespace

int CHubIsp::UpdateFirmware(int hubIndex, int imageClass, uint8_t* data, int length, ProgressByte* progress,
                            SharedText* status, ErrorFlag* errorFlag) {
    bool reporting = m_quiet != 1;
    if (reporting) {
        if (progress) progress->store(0);
        if (errorFlag) errorFlag->store(0);
    }
    int result = 0;
    auto boxErrorLog = [&](const std::string& text) {
        Box(text);
        m_lasterror = text;
        DebugLog("%s", text.c_str());
    };
    auto setStatus = [&](const char* text) {
        if (reporting && status) status->Set(text);
    };
    auto setProgress = [&](int value) {
        if (reporting && progress) progress->store(static_cast<uint8_t>(value));
    };

    OperationScope scope(*this);
    m_storetouched = false;
    const bool writeAsIs = m_restoretype != CHIP_ID_UNKNOWN;
    ClassLayout layout{};
    int type = CHIP_ID_UNKNOWN;
    do {
        if (!data) {
            boxErrorLog("Data buffer is null!");
            break;
        }
        // What cannot be written is refused before the hub is touched.
        if (!LayoutOf(imageClass, layout)) {
            boxErrorLog(Format("Unsupported image class %d!", imageClass));
            break;
        }
        if (length < 0 || length > layout.storeSize) {
            boxErrorLog(Format("Image size %d does not fit the store of %d bytes!", length, layout.storeSize));
            break;
        }

        type = writeAsIs ? m_restoretype : GetChipType(hubIndex, 0);
        if (type == CHIP_ID_UNKNOWN) {
            Box(m_lasterror);
            m_lasterror = SelectError(Format("Hub %d is unknown type!", hubIndex).c_str());
            DebugLog("%s", m_lasterror.c_str());
            break;
        }
        if (!ImageServesHub(imageClass, type)) {
            boxErrorLog(Format("Mismatched firmware and Hub! Hub %d is %s, the image is of class %d.", hubIndex + 1,
                               HubTypeName(type), imageClass));
            break;
        }
        if (!OpenDevice()) {
            boxErrorLog("Open Device ERROR!");
            break;
        }
        if (!SelectHub(hubIndex)) {
            boxErrorLog(SelectError("Hub index ERROR!"));
            break;
        }
        const int S = layout.storeSize;
        std::vector<uint8_t> image(static_cast<size_t>(S), 0xFF);
        setStatus("Initializing...");

        int mode2270 = static_cast<int>(CIniFile::ToInt(m_ini.GetString("2270_Mode", "VX7100")));
        LoadFlashInfo();

        uint16_t checksum = 0;
        if (writeAsIs) {
            // A store going back as it was read keeps its own container ID
            // and checksum.
            if (length != S) {
                boxErrorLog(Format("A store image of %d bytes does not fill the store of %d bytes!", length, S));
                break;
            }
            std::memcpy(image.data(), data, static_cast<size_t>(S));
            checksum = static_cast<uint16_t>(image[static_cast<size_t>(S - 2)] << 8 | image[static_cast<size_t>(S - 1)]);
        } else {
            tessaro::Guid guid{};
            if (!Sys().guid->Create(&guid)) {
                boxErrorLog("Generate Container ID failed!");
                break;
            }
            uint8_t id[16];
            id[0] = static_cast<uint8_t>(guid.data1 >> 24);
            id[1] = static_cast<uint8_t>(guid.data1 >> 16);
            id[2] = static_cast<uint8_t>(guid.data1 >> 8);
            id[3] = static_cast<uint8_t>(guid.data1);
            id[4] = static_cast<uint8_t>(guid.data2 >> 8);
            id[5] = static_cast<uint8_t>(guid.data2);
            id[6] = static_cast<uint8_t>(guid.data3 >> 8);
            id[7] = static_cast<uint8_t>(guid.data3);
            std::memcpy(id + 8, guid.data4, 8);
            std::memset(m_containerid, 0, sizeof m_containerid);
            if (imageClass == 1) {
                for (int i = 0; i < 16; ++i) m_containerid[2 * i + 1] = id[i];
            } else {
                std::memcpy(m_containerid, id, 16);
            }
            // The caller's image carries the new ID as far as it reaches; the
            // store image always carries all of it.
            if (layout.idOffset < length) {
                int n = length - layout.idOffset < layout.idLength ? length - layout.idOffset : layout.idLength;
                std::memcpy(data + layout.idOffset, m_containerid, static_cast<size_t>(n));
            }
            if (length > 0) std::memcpy(image.data(), data, static_cast<size_t>(length));
            std::memcpy(image.data() + layout.idOffset, m_containerid, static_cast<size_t>(layout.idLength));
            checksum = CalcChecksum(image.data(), S - 2);
        }
        DebugLog("checksum = %04x", checksum);

        int c = 0;
        uint8_t f = 0;  // row 0 when no part was searched
        bool spi = IsSpiHubType(type);
        if (type == CHIP_ID_VX2240_EEPROM_LITE) {
            c = 8;
        } else if (type == CHIP_ID_VX2240_EEPROM) {
            c = 64;
        } else if (mode2270 != 0) {
            c = 64;
        } else {
            if (!GetFlashIndex(&f, hubIndex)) {
                boxErrorLog("Mismatched FLASH type!");
                break;
            }
            c = m_flashinfo[f][6];
            DebugLog("flash type = %d, datasize = %d", f, c);
            m_storetouched = true;
            if (!WriteFlashStatus(f)) {
                Box("Write flash status ERROR!");
                Fail("Write flash status ERROR!", "Write status ERROR!");
                break;
            }
            DebugLog("Write status ok");
            if (!EraseFlash(hubIndex, reporting ? progress : nullptr)) {
                Box("Erase FLASH failed!");
                DebugLog("Erase FLASH failed!");
                break;
            }
            DebugLog("erase ok");
        }
        // Every block lies inside the store image and the block that ends at
        // 0x100 exists: a block size that cannot do that is never used.
        if (c <= 0 || c > S || S % c != 0 || 256 % c != 0) {
            boxErrorLog(Format("Invalid block size %d for a store of %d bytes!", c, S));
            break;
        }
        RequestRecord write(16 + c);
        m_storetouched = true;

        if (mode2270 == 0 && spi) {
            // The erase ended the session: open it again and select the hub
            // anew, so the kept index is checked against this enumeration.
            if (!OpenDevice()) {
                boxErrorLog("Open Device ERROR!");
                break;
            }
            if (!SelectHub(hubIndex)) {
                boxErrorLog(SelectError("Hub index ERROR!"));
                break;
            }
        }
        if (m_enterisp == 2) {
            RequestRecord rec(16);
            rec.Set(0x40, 0x81, 0x0001, spi ? 0 : 1, 0);
            if (!SendUsbRequest(rec)) {
                boxErrorLog("Enter ISP mode ERROR!");
                break;
            }
        }

        // The store image holds the caller's bytes and the container ID, which
        // may lie beyond a short image: the write pass covers both, or the ID
        // block would stay erased and the verify would fail on a good hub.
        int held = length > layout.idOffset + layout.idLength ? length : layout.idOffset + layout.idLength;
        int N;
        if (!spi) {
            N = S / c;
        } else {
            N = held / c + (held % c ? 1 : 0) + (S - held >= c ? 1 : 0) + 1;
        }
        const int K = 256 / c - 1;
        image[static_cast<size_t>(S - 2)] = static_cast<uint8_t>(checksum >> 8);
        image[static_cast<size_t>(S - 1)] = static_cast<uint8_t>(checksum & 0xFF);
        setStatus("Updating firmware...");

        const uint8_t* row = m_flashinfo[f];
        uint16_t wValue = type == CHIP_ID_VX2240_EEPROM_LITE ? 0x0200
                          : type == CHIP_ID_VX2240_EEPROM    ? 0x0100
                          : row[9] != 0                      ? static_cast<uint16_t>(row[10] << 8 | row[9])
                                                             : 0x0000;
        // Parts that protect themselves again after every program get their
        // un-protect sequence before each block; EEPROMs never see flash commands.
        bool unprotectEachBlock = spi && (row[13] & 0x60) != 0;
        int unprotectCount = row[13] & 0x0F;
        if (unprotectCount > 4) unprotectCount = 4;

        bool ok = true;
        for (int i = 0; i < N && ok; ++i) {
            int block;
            if (!spi) {
                block = i;
            } else if (i == N - 1) {
                block = K;
            } else if (i == N - 2) {
                block = S / c - 1;
            } else if (i == K) {
                continue;
            } else {
                block = i;
            }
            int offset = block * c;
            if (offset < 0 || offset + c > S) {
                boxErrorLog(Format("Invalid block %d for a store of %d bytes!", block, S));
                ok = false;
                break;
            }
            if (unprotectEachBlock) {
                RequestRecord rec(16);
                auto enter = [&]() {
                    rec.Set(0x40, 0x81, 0x0001, 0, 0);
                    if (SendUsbRequest(rec)) return true;
                    m_lasterror = "Enter ISP mode ERROR!";
                    DebugLog("Enter ISP mode ERROR!");
                    return false;
                };
                if (!enter()) {
                    ok = false;
                    break;
                }
                for (int j = 0; j < unprotectCount; ++j) {
                    rec.Set(0x40, 0x83, static_cast<uint16_t>(row[14 + j] << 8 | 0x06), 0, 0);
                    if (!SendUsbRequest(rec)) {
                        m_lasterror = "Un-protect flash ERROR!";
                        DebugLog("Un-protect ERROR!");
                        ok = false;
                        break;
                    }
                }
                if (!ok || !enter()) {
                    ok = false;
                    break;
                }
            }
            write.Set(0x40, 0x83, wValue, static_cast<uint16_t>(offset), static_cast<uint16_t>(c));
            std::memcpy(write.Data(), image.data() + offset, static_cast<size_t>(c));
            if (!SendWithRetry(write)) {
                m_lasterror = Format("Write data failed! address %04x", offset);
                Box(m_lasterror);
                DebugLog("%s", m_lasterror.c_str());
                ok = false;
                break;
            }
            setProgress(15 + (65 * i) / (N + 1));
        }
        if (!ok) break;

        setStatus("Verifying firmware...");
        uint16_t readValue = type == CHIP_ID_VX2240_EEPROM_LITE ? 0x0200
                             : type == CHIP_ID_VX2240_EEPROM    ? 0x0100
                                                                : 0x0000;
        RequestRecord readRec(16 + c);
        const int blocks = S / c;
        for (int i = 0; i < blocks && ok; ++i) {
            uint16_t wIndex = static_cast<uint16_t>((i * c) & 0xFFFF);
            readRec.Set(0xC0, 0x82, readValue, wIndex, static_cast<uint16_t>(c));
            if (!SendWithRetry(readRec)) {
                m_lasterror = Format("Read data failed! address %04x", wIndex);
                Box(m_lasterror);
                DebugLog("%s", m_lasterror.c_str());
                ok = false;
                break;
            }
            if (std::memcmp(readRec.Data(), image.data() + i * c, static_cast<size_t>(c)) != 0) {
                m_lasterror = Format("Data comparison ERROR! address %04x", wIndex);
                Box(m_lasterror);
                DebugLog("%s", m_lasterror.c_str());
                ok = false;
                break;
            }
            setProgress(80 + (20 * i) / blocks);
        }
        if (!ok) break;
        result = 1;
    } while (false);

    if (result == 0 && reporting) {
        if (status) status->Set(m_lasterror);
        if (errorFlag) errorFlag->store(1);
    } else if (status) {
        status->Set("");
    }
    CloseDevice();
    return result;
}

// CHubIsp: the single-purpose store operations (erase, read, restart).
#include <cstring>

#include "hub/CHubIsp.h"
#include "settings/DebugLog.h"

using tessaro::Sys;

namespace {

void Advance(ProgressByte* progress, int quiet, int step) {
    if (progress && quiet == 0) progress->fetch_add(static_cast<uint8_t>(step));
}

}  // namespace

int CHubIsp::EraseFlash(int hubIndex, ProgressByte* progress) {
    OperationScope scope(*this);
    int type = GetChipType(hubIndex, 0);
    Advance(progress, m_quiet, 1);
    if (type == CHIP_ID_VX2240_EEPROM || type == CHIP_ID_VX2240_EEPROM_LITE || type == CHIP_ID_UNKNOWN) {
        return Fail(SelectError("Undetermined FLASH type!"));
    }
    if (!OpenDevice()) {
        return Fail("Device or driver is not found!");
    }
    int result = 0;
    auto fail = [&](const char* error, const char* log) {
        m_lasterror = error;
        if (log) DebugLog("%s", log);
    };
    do {
        if (!SelectHub(hubIndex)) {
            std::string text = SelectError("Hub index ERROR!");
            fail(text.c_str(), text.c_str());
            break;
        }
        uint8_t f = 0;
        if (!GetFlashIndex(&f, hubIndex)) {
            fail("Mismatched FLASH type!", "Mismatched FLASH type!");
            break;
        }
        const uint8_t* row = m_flashinfo[f];
        int n = row[13] & 0x0F;
        if (n > 4) n = 4;
        bool before = (row[13] & 0x80) != 0;
        auto unprotect = [&]() -> bool {
            for (int i = 0; i < n; ++i) {
                RequestRecord rec(16);
                rec.Set(0x40, 0x83, static_cast<uint16_t>(row[14 + i] << 8 | 0x06), 0, 0);
                if (!SendUsbRequest(rec)) {
                    fail("Un-protect flash ERROR!", "Un-protect ERROR!");
                    return false;
                }
            }
            return true;
        };
        auto enterIsp = [&]() -> bool {
            if (m_enterisp != 2) return true;
            RequestRecord rec(16);
            rec.Set(0x40, 0x81, 0x0001, 0, 0);
            if (!SendUsbRequest(rec)) {
                fail("Enter ISP mode ERROR!", "Enter ISP mode ERROR!");
                return false;
            }
            return true;
        };
        if (n > 0 && before && !unprotect()) break;
        Advance(progress, m_quiet, 1);
        if (!enterIsp()) break;
        if (n > 0 && !before && (!unprotect() || !enterIsp())) break;
        if (!WriteFlashStatus(f)) {
            fail("Write flash status ERROR!", "Write flash status ERROR!");
            break;
        }
        DebugLog("Write status ok");
        Advance(progress, m_quiet, 1);
        {
            RequestRecord rec(16);
            rec.Set(0x40, 0x83, static_cast<uint16_t>(row[5] << 8 | 0x01), 0, 0);
            if (!SendUsbRequest(rec)) {
                fail("Erase FLASH failed!", nullptr);
                break;
            }
        }
        for (int i = 0; i < 4; ++i) {
            Sys().clock->Sleep(200);
            Advance(progress, m_quiet, 1);
        }
        if (m_erasedelay != 0) {
            DebugLog("delay %d ms after erase flash.\n", m_erasedelay);
            Sys().clock->Sleep(static_cast<uint32_t>(m_erasedelay));
        }
        Advance(progress, m_quiet, 3);
        uint8_t block[144];
        if (!ReadData(block, 144, 1, static_cast<unsigned>(hubIndex))) break;
        bool blank = true;
        for (uint8_t b : block) blank = blank && b == 0xFF;
        Advance(progress, m_quiet, 5);
        if (blank) {
            m_lasterror = "XROM data is been erased!";
            result = 1;
        } else {
            fail("XROM data is not been erased!", "XROM data is not been erased!");
        }
    } while (false);
    CloseDevice();
    return result;
}

int CHubIsp::WriteFlashStatus(uint8_t flashIndex) {
    uint8_t opcode = GetFlashInfo(flashIndex, 8);
    if (opcode == 0) {
        DebugLog("EWSR = 0");
        return 1;
    }
    if (!SessionReady("driver handle is invalid!", "driver memory block is null!")) return 0;
    RequestRecord rec(16);
    rec.Set(0x40, 0x81, static_cast<uint16_t>(opcode << 8 | 0x01), 0, 0);
    int result = SendUsbRequest(rec);
    if (!result) {
        Box("Write flash status ERROR!");
        m_lasterror = "Write flash status ERROR!";
    }
    return result;
}

int CHubIsp::EraseEeprom(int hubIndex) {
    OperationScope scope(*this);
    RequestRecord write(24);
    int type = GetChipType(hubIndex, 0);
    if (type != CHIP_ID_VX2240_EEPROM && type != CHIP_ID_VX2240_EEPROM_LITE) {
        return Fail(SelectError("Determine EEPROM part number failed!"));
    }
    int size = type == CHIP_ID_VX2240_EEPROM_LITE ? 256 : 0x5000;
    if (!OpenDevice()) {
        return Fail("Open Device ERROR! unknown chip type.", "Open Device ERROR!");
    }
    int result = 0;
    do {
        if (!SelectHub(hubIndex)) {
            Fail(SelectError("Hub index ERROR!"));
            break;
        }
        if (m_enterisp == 2) {
            RequestRecord rec(16);
            rec.Set(0x40, 0x81, 0x0001, 1, 0);
            if (!SendUsbRequest(rec)) {
                Fail("Enter ISP mode ERROR!");
                break;
            }
        }
        uint16_t wValue = type == CHIP_ID_VX2240_EEPROM_LITE ? 0x0200 : 0x0100;
        bool ok = true;
        for (int i = 0; i < size / 8 && ok; ++i) {
            write.Set(0x40, 0x83, wValue, static_cast<uint16_t>(8 * i), 8);
            std::memset(write.Data(), 0xFF, 8);
            if (!SendWithRetry(write)) {
                m_lasterror = Format("Write data failed! address %04x", 8 * i);
                DebugLog("%s", m_lasterror.c_str());
                ok = false;
            }
        }
        result = ok ? 1 : 0;
    } while (false);
    CloseDevice();
    return result;
}

int CHubIsp::ReadData(uint8_t* buffer, int length, int mode, unsigned hubIndex) {
    if (!buffer) {
        return Fail("Null data buffer!");
    }
    bool sizeOk = mode == 1 ? (length >= 144 && length <= 512) : (length >= 256 && length <= 32768);
    if (!sizeOk) {
        return Fail(Format("Wrong data size! %d", length));
    }
    OperationScope scope(*this);
    int type = GetChipType(static_cast<int>(hubIndex), 0);
    if (type == CHIP_ID_UNKNOWN) {
        return Fail(SelectError("Unknown chip id!"));
    }
    if (!OpenDevice()) {
        return Fail("Open Device ERROR! unknown chip type.", "Open Device ERROR!");
    }
    int result = 0;
    do {
        if (!SelectHub(static_cast<int>(hubIndex))) {
            Fail(SelectError("Hub index ERROR!"));
            break;
        }
        int c = 0;
        uint16_t wValue = 0;
        bool spi = false;
        if (type == CHIP_ID_VX2240_EEPROM_LITE) {
            c = 8;
            wValue = 0x0200;
        } else if (type == CHIP_ID_VX2240_EEPROM) {
            c = 64;
            wValue = 0x0100;
        } else {
            spi = true;
            uint8_t f = 0;
            if (!GetFlashIndex(&f, static_cast<int>(hubIndex))) {
                Fail("Mismatched FLASH type!");
                break;
            }
            c = m_flashinfo[f][6];
        }
        if (m_enterisp == 2) {
            RequestRecord rec(16);
            rec.Set(0x40, 0x81, 0x0001, spi ? 0 : 1, 0);
            if (!SendUsbRequest(rec)) {
                Fail("Enter ISP mode ERROR!");
                break;
            }
        }
        RequestRecord rec(16 + c);
        Sys().clock->Sleep(1000);
        std::memset(buffer, 0, static_cast<size_t>(length));
        int blocks = length / c + (length % c ? 1 : 0);
        int offset = mode == 1 && type != CHIP_ID_VX2240_EEPROM_LITE ? 0x100 : 0;
        bool ok = true;
        for (int i = 0; i < blocks && ok; ++i) {
            rec.Set(0xC0, 0x82, wValue, static_cast<uint16_t>((i * c + offset) & 0xFFFF), static_cast<uint16_t>(c));
            if (!SendWithRetry(rec)) {
                m_lasterror = "Read data failed!";
                DebugLog("Read data failed!");
                ok = false;
                break;
            }
            int take = (i == blocks - 1 && length % c) ? length % c : c;
            std::memcpy(buffer + i * c, rec.Data(), static_cast<size_t>(take));
        }
        result = ok ? 1 : 0;
    } while (false);
    CloseDevice();
    return result;
}

int CHubIsp::SoftwareReset(int hubIndex) {
    if (!OpenDevice()) {
        return Fail("Open Device ERROR! unknown chip type.\n", "Open Device ERROR!");
    }
    int result = 0;
    if (!SetHubIndex(hubIndex)) {
        m_lasterror = "Hub index ERROR!\n";
        DebugLog("set hub index %d", hubIndex);
    } else {
        RequestRecord rec(16);
        rec.Set(0x40, 0x81, 0x0003, 0, 0);
        if (!SendUsbRequest(rec)) {
            m_lasterror = "Software reset ERROR!\n";
            DebugLog("Software reset ERROR!\n");
        } else {
            result = 1;
        }
    }
    CloseDevice();
    return result;
}

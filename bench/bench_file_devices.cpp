// The lines inside the blocks of a bench file (docs/bench.md): a flash
// part's directives, and those of a hub or a device with their functions,
// the hub's store (SPI flash or EEPROM), its content and its PHY registers.
#include <cctype>
#include <cstdint>
#include <string>

#include "bench/bench_file_parts.h"

namespace bench {
namespace file {

bool Parser::FlashLine(const Tokens& t, FlashPart& part) {
    Cursor c(t);
    const std::string word = Lower(t.words[0]);
    bool ok = true;
    if (word == "size") {
        ok = c.Value(part.size, "size", 0x1000000);
        if (ok && part.size == 0) ok = c.Error("size must not be 0");
    } else if (word == "page") {
        ok = c.Value(part.pageSize, "page size", 0x10000);
    } else if (word == "id") {
        FlashIdCommand id;
        ok = c.Byte(id.opcode, "identification opcode") && c.Value(id.mode, "identification mode", 2) &&
             c.Bytes(id.bytes, "identification bytes");
        if (ok && id.mode != 1 && id.mode != 2) ok = c.Error("identification mode is 1 or 2");
        if (ok) part.ids.push_back(id);
    } else if (word == "erase") {
        ok = c.Bytes(part.eraseOpcodes, "erase opcodes");
    } else if (word == "ewsr") {
        uint8_t op = 0;
        if (c.Accept("none"))
            part.ewsrOpcode = -1;
        else if ((ok = c.Byte(op, "EWSR opcode")))
            part.ewsrOpcode = op;
    } else if (word == "program") {
        part.programValues.clear();
        if (!c.More()) ok = c.Error("missing program wValue");
        while (ok && c.More()) {
            uint16_t v = 0;
            ok = c.Value(v, "program wValue", 0xFFFF);
            if (ok) part.programValues.push_back(v);
        }
    } else if (word == "unprotect") {
        ok = c.Bytes(part.unprotect, "un-protect opcodes");
        if (ok && c.Accept("before-isp"))
            part.unprotectAt = UnprotectAt::BeforeIsp;
        else if (ok && c.Accept("after-isp"))
            part.unprotectAt = UnprotectAt::AfterIsp;
        else if (ok && c.Accept("anywhere"))
            part.unprotectAt = UnprotectAt::Anywhere;
    } else if (word == "protected") {
        ok = c.YesNo(part.startsProtected, "protected");
    } else if (word == "reprotect") {
        if (!c.Accept("after-program")) ok = c.Error("reprotect after-program");
        part.reprotectAfterProgram = true;
    } else if (word == "erase-time") {
        ok = c.Value(part.eraseTimeMs, "erase time", 600000);
    } else if (word == "program-time") {
        ok = c.Value(part.programTimeMs, "program time", 60000);
    } else if (word == "busy-byte") {
        ok = c.Byte(part.busyByte, "busy byte");
    } else {
        return Fail(t.line, "unknown flash directive \"" + t.words[0] + "\"");
    }
    if (ok) ok = c.End();
    return ok ? true : Fail(t.line, c.ErrorText());
}

bool Parser::DeviceLine(const Tokens& t, DeviceSpec& d, bool hub) {
    Cursor c(t);
    const std::string word = Lower(t.words[0]);
    bool ok = true;
    const bool storeWord = word == "store" || word == "content" || word == "fill" || word == "put" ||
                           word == "save" || word == "isp" || word == "store-type" || word == "phy" ||
                           word == "phy-default" || word == "after-reset" || word == "code" ||
                           word == "max-transfer";
    if (!hub && storeWord) return Fail(t.line, "\"" + word + "\" belongs to a hub; a device has no controller");
    if (word == "function") {
        FunctionSpec f;
        ok = FunctionLine(c, f);
        if (ok) d.functions.push_back(f);
        return ok ? true : Fail(t.line, c.ErrorText());
    } else if (word == "enum") {
        if (d.functions.empty()) return Fail(t.line, "\"enum\" follows the function it belongs to");
        EnumKey key;
        ok = c.Text(key.enumerator, "enumerator path such as USB\\VID_2C7E&PID_0B40");
        while (ok && c.More()) {
            if (c.Accept("instance"))
                ok = c.Text(key.instance, "instance ID");
            else if (c.Accept("selective-suspend"))
                ok = c.Value(key.selectiveSuspend, "EnableSelectiveSuspend value", 0x7FFFFFFF);
            else
                ok = c.Error("unknown registry option \"" + c.Peek() + "\"");
        }
        if (ok) d.functions.back().registry.push_back(key);
    } else if (word == "unplugged") {
        d.plugged = false;
    } else if (word == "bcd-device") {
        ok = c.Value(d.bcdDevice, "bcdDevice", 0xFFFF);
        m_bcdGiven = true;
    } else if (word == "code") {
        if (c.Accept("mask")) {
            d.maskRom = true;
            if (!m_bcdGiven) d.bcdDevice = 0x0400;
        } else if (c.Accept("own")) {
            d.maskRom = false;
        } else {
            ok = c.Error("code is mask or own");
        }
    } else if (word == "after-reset") {
        if (c.Accept("bcd-device"))
            ok = c.Value(d.resetBcdDevice, "bcdDevice", 0xFFFF);
        else if (c.Accept("re-enumerate"))
            ok = c.Value(d.reEnumerateMs, "milliseconds", 600000);
        else if (c.Accept("stays"))
            d.reEnumerateMs = 0;
        else
            ok = c.Error("after-reset bcd-device <n> | re-enumerate <ms> | stays");
    } else if (word == "max-transfer") {
        ok = c.Value(d.maxTransfer, "bytes", 0xFFFF);
    } else if (word == "store") {
        if (c.Accept("spi")) {
            d.store = StoreKind::Spi;
            ok = c.Text(d.flashPart, "flash part name");
        } else if (c.Accept("eeprom")) {
            d.store = StoreKind::Eeprom;
            uint32_t size = 0;
            ok = c.Value(size, "EEPROM size", 0x10000);
            if (ok) d.eeprom = DefaultEeprom(size);
            while (ok && c.More()) {
                if (c.Accept("address-bytes")) {
                    ok = c.Value(d.eeprom.addressBytes, "address bytes", 2);
                    if (ok && d.eeprom.addressBytes < 1) ok = c.Error("address bytes is 1 or 2");
                } else if (c.Accept("page")) {
                    ok = c.Value(d.eeprom.pageSize, "page size", 0x10000);
                } else if (c.Accept("write-protected")) {
                    d.eeprom.writeProtected = true;
                } else if (c.Accept("write-time")) {
                    ok = c.Value(d.eeprom.writeTimeMs, "write time", 1000);
                } else {
                    ok = c.Error("unknown EEPROM option \"" + c.Peek() + "\"");
                }
            }
        } else {
            ok = c.Error("store spi <flash part> or store eeprom <size>");
        }
    } else if (word == "content") {
        ok = c.FileName(d.contentFile, "content file name", m_pc.BaseFolder());
    } else if (word == "fill") {
        ok = c.Byte(d.fill, "fill byte");
    } else if (word == "put") {
        uint32_t offset = 0;
        ok = c.Value(offset, "offset", 0x1000000);
        std::vector<uint8_t> bytes;
        if (ok && c.Accept("text")) {
            std::string text;
            ok = c.Text(text, "text");
            bytes.assign(text.begin(), text.end());
        } else if (ok && c.Accept("hex")) {
            ok = c.Bytes(bytes, "bytes");
        } else if (ok) {
            ok = c.Error("put <offset> text \"...\" or put <offset> hex <bytes>");
        }
        if (ok) d.puts.push_back({offset, bytes});
    } else if (word == "save") {
        ok = c.FileName(d.saveFile, "save file name", m_pc.BaseFolder());
    } else if (word == "isp") {
        ok = c.YesNo(d.startsInIsp, "isp");
    } else if (word == "store-type") {
        ok = c.Byte(d.spiStoreTypeByte, "store type byte");
    } else if (word == "phy-default") {
        ok = c.Byte(d.phyDefault, "register value");
    } else if (word == "phy") {
        PhyRegister r;
        ok = c.Value(r.wValue, "register space (0x0101 or 0x0201)", 0xFFFF) &&
             c.Value(r.wIndex, "register", 0xFFFF) && c.Value(r.value, "register value", 0xFF);
        if (ok && r.wValue != 0x0101 && r.wValue != 0x0201) ok = c.Error("register space is 0x0101 or 0x0201");
        if (ok && c.Accept("read-only")) r.readOnly = true;
        if (ok) d.phy.push_back(r);
    } else {
        return Fail(t.line, "unknown " + std::string(hub ? "hub" : "device") + " directive \"" + t.words[0] + "\"");
    }
    if (ok) ok = c.End();
    return ok ? true : Fail(t.line, c.ErrorText());
}

bool Parser::FunctionLine(Cursor& c, FunctionSpec& f) {
    bool ok = true;
    while (ok && c.More()) {
        if (c.Accept("type")) {
            ok = c.Value(f.devType, "device type", 0xFFFF);
        } else if (c.Accept("vid")) {
            ok = c.Value(f.vid, "idVendor", 0xFFFF);
        } else if (c.Accept("pid")) {
            ok = c.Value(f.pid, "idProduct", 0xFFFF);
        } else if (c.Accept("bcd-device")) {
            ok = c.Value(f.bcdDevice, "bcdDevice", 0xFFFF);
        } else if (c.Accept("bcd-usb")) {
            ok = c.Value(f.bcdUsb, "bcdUSB", 0xFFFF);
        } else if (c.Accept("reserved")) {
            ok = c.Value(f.reserved, "reserved byte", 0xFF);
        } else if (c.Accept("handle")) {
            ok = c.Value(f.handle, "handle", UINT32_MAX);
            if (ok && f.handle == 0) ok = c.Error("handle 0 is not a handle");
        } else if (c.Accept("container")) {
            ok = c.Text(f.containerId, "container ID");
            if (ok && Lower(f.containerId) == "none") f.containerId.clear();
            if (ok && f.containerId.size() > 39) ok = c.Error("a container ID has at most 39 characters");
        } else if (c.Accept("instance")) {
            ok = c.Text(f.instanceId, "instance ID");
        } else if (c.Accept("hwid")) {
            std::string id;
            ok = c.Text(id, "hardware ID");
            if (ok) f.hardwareIds.push_back(id);
        } else if (c.Accept("class")) {
            ok = c.Text(f.deviceClass, "setup class");
        } else if (c.Accept("absent")) {
            f.present = false;
        } else if (c.Accept("disabled")) {
            f.enabled = false;
        } else if (c.Accept("hwid-fails")) {
            f.hardwareIdFails = true;
            if (c.More() && std::isdigit(static_cast<unsigned char>(c.Peek()[0])))
                ok = c.Value(f.hardwareIdError, "error", UINT32_MAX);
        } else {
            ok = c.Error("unknown function field \"" + c.Peek() + "\"");
        }
    }
    return ok;
}

}  // namespace file
}  // namespace bench

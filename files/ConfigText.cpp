#include "files/ConfigText.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace {

std::string Trim(const std::string& text) {
    size_t begin = 0, end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
    return text.substr(begin, end - begin);
}

std::string Lower(std::string text) {
    for (char& ch : text) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return text;
}

std::string LineError(int line, const std::string& reason) { return "line " + std::to_string(line) + ": " + reason; }

// The text before a '#' that stands outside double quotes.
std::string StripComment(const std::string& line) {
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '\\' && quoted) {
            ++i;
        } else if (line[i] == '"') {
            quoted = !quoted;
        } else if (line[i] == '#' && !quoted) {
            return line.substr(0, i);
        }
    }
    return line;
}

// --- the fields of the configuration text -----------------------------------------

enum class Kind { Bool, Int, Hex16, Ports, Enum, String };

const char* const kBreathingNames[] = {"disabled", "on_ufp", "on_dfp", nullptr};
const char* const kSuspendNames[] = {"off", "breathing", "flickering", nullptr};
const char* const kSmartPowerNames[] = {"disabled", "max_1", "max_2", "max_3", nullptr};

// Which formats carry a field.
enum Carry : unsigned {
    kAll = 0,
    kFullOnly = 1,    // not carried by the compact editor form
    kNotHubType1 = 2, // bits 6 and 7 of byte 0x19
};

struct Field {
    const char* name;
    Kind kind;
    unsigned carry;
    bool HubConfig::*boolean;
    int HubConfig::*integer;
    uint16_t HubConfig::*word;
    bool (HubConfig::*ports)[4];
    std::string HubConfig::*text;
    const char* const* names;
    long max;  // Int and Enum
};

Field B(const char* name, bool HubConfig::*m, unsigned carry = kAll) {
    return Field{name, Kind::Bool, carry, m, nullptr, nullptr, nullptr, nullptr, nullptr, 1};
}
Field I(const char* name, int HubConfig::*m, long max) {
    return Field{name, Kind::Int, kAll, nullptr, m, nullptr, nullptr, nullptr, nullptr, max};
}
Field H(const char* name, uint16_t HubConfig::*m) {
    return Field{name, Kind::Hex16, kAll, nullptr, nullptr, m, nullptr, nullptr, nullptr, 0xFFFF};
}
Field P(const char* name, bool (HubConfig::*m)[4]) {
    return Field{name, Kind::Ports, kAll, nullptr, nullptr, nullptr, m, nullptr, nullptr, 0};
}
Field E(const char* name, int HubConfig::*m, const char* const* names, long max) {
    return Field{name, Kind::Enum, kAll, nullptr, m, nullptr, nullptr, nullptr, names, max};
}
Field S(const char* name, std::string HubConfig::*m) {
    return Field{name, Kind::String, kAll, nullptr, nullptr, nullptr, nullptr, m, nullptr, 0};
}

const std::vector<Field>& Fields() {
    static const std::vector<Field> fields = {
        B("serial_string", &HubConfig::serialStringEnabled),
        H("vid", &HubConfig::vid),
        H("ss_pid", &HubConfig::ssPid),
        H("hs_pid", &HubConfig::hsPid),
        B("usb3_lpm", &HubConfig::usb3Lpm),
        B("ssc", &HubConfig::ssc),
        B("separated_led", &HubConfig::separatedLed),
        B("remote_wakeup", &HubConfig::remoteWakeup),
        B("usb2_lpm", &HubConfig::usb2Lpm),
        B("power_switch_high", &HubConfig::powerSwitchHigh),
        B("polyfuse", &HubConfig::polyfuse),
        P("non_removable", &HubConfig::nonRemovable),
        I("usb2_ports", &HubConfig::usb2Ports, 255),
        I("usb3_ports", &HubConfig::usb3Ports, 255),
        I("hs_max_power", &HubConfig::hsMaxPowerMa, 9999),
        I("ss_max_power", &HubConfig::ssMaxPowerMa, 9999),
        I("power_good_time", &HubConfig::powerGoodMs, 9999),
        B("port_indicator", &HubConfig::portIndicator),
        P("charging_ports", &HubConfig::chargingPort),
        H("firmware_version", &HubConfig::firmwareVersion),
        B("pwrsw_gand", &HubConfig::pwrswGand, kFullOnly),
        B("pwrsw_reset", &HubConfig::pwrswReset, kFullOnly),
        B("support_bus_power", &HubConfig::supportBusPower),
        B("dcp_hispeed", &HubConfig::dcpHiSpeed, kFullOnly),
        B("support_strap", &HubConfig::supportStrap, kFullOnly),
        E("breathing_led", &HubConfig::breathingLed, kBreathingNames, 2),
        B("ledpwm_fs", &HubConfig::ledPwmFs, kFullOnly),
        P("vx2280_ports", &HubConfig::vx2280Port),
        B("tx_swap_upstream", &HubConfig::txSwapUpstream),
        P("tx_swap", &HubConfig::txSwap),
        B("strap_charge", &HubConfig::strapCharge, kFullOnly),
        B("strap_portno", &HubConfig::strapPortNo, kFullOnly),
        B("strap_psw_poly", &HubConfig::strapPswPoly, kFullOnly),
        B("strap_portnon_remv", &HubConfig::strapPortNonRemv, kFullOnly),
        B("strap_psw_hl", &HubConfig::strapPswHl, kFullOnly),
        B("ovcur_without_vbus", &HubConfig::ovcurWithoutVbus, kFullOnly),
        E("suspend_led", &HubConfig::suspendLed, kSuspendNames, 2),
        B("dcp", &HubConfig::dcp),
        B("smart_cdp", &HubConfig::smartCdp),
        B("apple_samsung", &HubConfig::appleSamsung, kNotHubType1),
        B("renesas_patch", &HubConfig::renesasPatch, kNotHubType1),
        B("cdp", &HubConfig::cdp, kFullOnly),
        E("smart_power_self", &HubConfig::smartPowerSelf, kSmartPowerNames, 15),
        E("smart_power_bus", &HubConfig::smartPowerBus, kSmartPowerNames, 15),
        S("vendor", &HubConfig::vendor),
        S("hs_product", &HubConfig::hsProduct),
        S("ss_product", &HubConfig::ssProduct),
        S("serial", &HubConfig::serial),
    };
    return fields;
}

bool Carried(const Field& f, const ConfigFormat& format) {
    if ((f.carry & kFullOnly) && format.form != ConfigForm::Full) return false;
    if ((f.carry & kNotHubType1) && format.hubType == 1) return false;
    return true;
}

bool ParsePorts(const std::string& text, bool ports[4]) {
    bool result[4] = {};
    const std::string value = Lower(Trim(text));
    if (value != "none" && !value.empty()) {
        size_t start = 0;
        while (start <= value.size()) {
            size_t comma = value.find(',', start);
            const std::string item = Trim(value.substr(start, comma == std::string::npos ? std::string::npos
                                                                                        : comma - start));
            long port = 0;
            if (!ParseNumber(item, 1, 4, &port)) return false;
            result[port - 1] = true;
            if (comma == std::string::npos) break;
            start = comma + 1;
        }
    }
    for (int i = 0; i < 4; ++i) ports[i] = result[i];
    return true;
}

std::string PortsText(const bool ports[4]) {
    std::string text;
    for (int i = 0; i < 4; ++i) {
        if (!ports[i]) continue;
        if (!text.empty()) text += ",";
        text += std::to_string(i + 1);
    }
    return text.empty() ? "none" : text;
}

bool ParseEnum(const std::string& text, const char* const* names, long max, int* value) {
    const std::string v = Lower(Trim(text));
    for (int i = 0; names[i]; ++i) {
        if (v == names[i]) {
            *value = i;
            return true;
        }
    }
    long number = 0;
    if (!ParseNumber(v, 0, max, &number)) return false;
    *value = static_cast<int>(number);
    return true;
}

std::string EnumText(int value, const char* const* names) {
    for (int i = 0; names[i]; ++i)
        if (i == value) return names[i];
    return std::to_string(value);
}

bool SetField(const Field& f, const std::string& value, HubConfig* c) {
    switch (f.kind) {
    case Kind::Bool: return ParseBool(value, &(c->*f.boolean));
    case Kind::Int: {
        long n = 0;
        if (!ParseNumber(value, 0, f.max, &n)) return false;
        c->*f.integer = static_cast<int>(n);
        return true;
    }
    case Kind::Hex16: {
        long n = 0;
        if (!ParseNumber(value, 0, 0xFFFF, &n)) return false;
        c->*f.word = static_cast<uint16_t>(n);
        return true;
    }
    case Kind::Ports: return ParsePorts(value, c->*f.ports);
    case Kind::Enum: return ParseEnum(value, f.names, f.max, &(c->*f.integer));
    case Kind::String: return ParseQuoted(value, &(c->*f.text));
    }
    return false;
}

std::string FieldText(const Field& f, const HubConfig& c) {
    char text[16];
    switch (f.kind) {
    case Kind::Bool: return c.*f.boolean ? "on" : "off";
    case Kind::Int: return std::to_string(c.*f.integer);
    case Kind::Hex16:
        std::snprintf(text, sizeof text, "0x%04X", c.*f.word);
        return text;
    case Kind::Ports: return PortsText(c.*f.ports);
    case Kind::Enum: return EnumText(c.*f.integer, f.names);
    case Kind::String: return QuoteString(c.*f.text);
    }
    return std::string();
}

}  // namespace

bool ParseNumber(const std::string& text, long min, long max, long* value) {
    const std::string t = Trim(text);
    if (t.empty()) return false;
    errno = 0;
    char* end = nullptr;
    const long n = std::strtol(t.c_str(), &end, 0);
    if (errno != 0 || !end || *end != '\0' || n < min || n > max) return false;
    *value = n;
    return true;
}

bool ParseBool(const std::string& text, bool* value) {
    const std::string t = Lower(Trim(text));
    if (t == "on" || t == "yes" || t == "true" || t == "1") {
        *value = true;
        return true;
    }
    if (t == "off" || t == "no" || t == "false" || t == "0") {
        *value = false;
        return true;
    }
    return false;
}

bool ParseQuoted(const std::string& text, std::string* value) {
    const std::string t = Trim(text);
    if (t.empty() || t[0] != '"') {
        *value = t;
        return true;
    }
    if (t.size() < 2 || t.back() != '"') return false;
    const std::string inner = t.substr(1, t.size() - 2);
    std::string out;
    for (size_t i = 0; i < inner.size(); ++i) {
        const char ch = inner[i];
        if (ch == '"') return false;  // an unescaped quote inside
        if (ch != '\\') {
            out.push_back(ch);
            continue;
        }
        if (++i >= inner.size()) return false;
        switch (inner[i]) {
        case '\\': out.push_back('\\'); break;
        case '"': out.push_back('"'); break;
        case 'n': out.push_back('\n'); break;
        case 't': out.push_back('\t'); break;
        case 'x':
            if (i + 2 >= inner.size() || !std::isxdigit(static_cast<unsigned char>(inner[i + 1])) ||
                !std::isxdigit(static_cast<unsigned char>(inner[i + 2])))
                return false;
            out.push_back(static_cast<char>(std::strtol(inner.substr(i + 1, 2).c_str(), nullptr, 16)));
            i += 2;
            break;
        default: return false;
        }
    }
    *value = out;
    return true;
}

std::string QuoteString(const std::string& text) {
    std::string out = "\"";
    for (char ch : text) {
        const unsigned char u = static_cast<unsigned char>(ch);
        if (ch == '"' || ch == '\\') {
            out.push_back('\\');
            out.push_back(ch);
        } else if (u < 32 || u > 126) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", u);
            out += hex;
        } else {
            out.push_back(ch);
        }
    }
    return out + "\"";
}

bool ParseDescription(const std::string& text, Description* out, std::string* error) {
    Description d;
    std::vector<DescriptionEntry>* section = &d.config;
    int lineNo = 0;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        ++lineNo;
        line = Trim(StripComment(line));
        if (!line.empty()) {
            if (line.front() == '[') {
                const std::string name = Lower(line);
                if (name == "[image]") {
                    section = &d.image;
                    d.hasImage = true;
                } else if (name == "[config]") {
                    section = &d.config;
                    d.hasConfig = true;
                } else {
                    if (error) *error = LineError(lineNo, "unknown section " + line);
                    return false;
                }
            } else {
                size_t eq = line.find('=');
                if (eq == std::string::npos || Trim(line.substr(0, eq)).empty()) {
                    if (error) *error = LineError(lineNo, "expected key = value");
                    return false;
                }
                if (section == &d.config) d.hasConfig = true;
                section->push_back(DescriptionEntry{lineNo, Lower(Trim(line.substr(0, eq))), Trim(line.substr(eq + 1))});
            }
        }
        if (end == std::string::npos) break;
        start = end + 1;
    }
    if (out) *out = d;
    return true;
}

bool ConfigFromEntries(const std::vector<DescriptionEntry>& entries, int defaultHubType, HubConfig* config,
                       ConfigFormat* format, std::string* error) {
    auto fail = [&](int line, const std::string& reason) {
        if (error) *error = LineError(line, reason);
        return false;
    };

    // The format first: the fields' meaning does not depend on it, but the
    // block size and the carried fields do.
    int hubType = defaultHubType;
    bool hasHubType = false, hasLayout = false, hasSize = false, hasForm = false;
    ConfigLayout layout = ConfigLayout::Compact;
    long size = 0;
    ConfigForm form = ConfigForm::Full;
    for (const DescriptionEntry& e : entries) {
        if (e.key == "hub_type") {
            long n = 0;
            if (!ParseNumber(e.value, -1, 5, &n) || n == 0) return fail(e.line, "hub_type must be -1, 1, 2, 3, 4 or 5");
            hubType = static_cast<int>(n);
            hasHubType = true;
        } else if (e.key == "layout") {
            const std::string v = Lower(e.value);
            if (v == "compact") layout = ConfigLayout::Compact;
            else if (v == "eeprom") layout = ConfigLayout::Eeprom;
            else if (v == "wide") layout = ConfigLayout::Wide;
            else return fail(e.line, "layout must be compact, eeprom or wide");
            hasLayout = true;
        } else if (e.key == "size") {
            if (!ParseNumber(e.value, 0x20, 0x10000, &size)) return fail(e.line, "size must be 32 to 65536");
            hasSize = true;
        } else if (e.key == "form") {
            const std::string v = Lower(e.value);
            if (v == "full") form = ConfigForm::Full;
            else if (v == "compact") form = ConfigForm::Compact;
            else return fail(e.line, "form must be full or compact");
            hasForm = true;
        }
    }
    ConfigFormat f;
    if (!hasHubType && hasLayout) hubType = layout == ConfigLayout::Wide ? 1 : layout == ConfigLayout::Eeprom ? 4 : 2;
    if (!ConfigFormatForHubType(hubType, &f)) {
        if (error) *error = "no configuration layout for hub type " + std::to_string(hubType);
        return false;
    }
    if (hasLayout) {
        f.layout = layout;
        f.size = LayoutSize(layout);
    }
    if (hasSize) f.size = static_cast<int>(size);
    if (hasForm) f.form = form;

    HubConfig c;
    for (const DescriptionEntry& e : entries) {
        if (e.key == "hub_type" || e.key == "layout" || e.key == "size" || e.key == "form") continue;
        const Field* field = nullptr;
        for (const Field& candidate : Fields())
            if (e.key == candidate.name) field = &candidate;
        if (!field) return fail(e.line, "unknown configuration key " + e.key);
        if (!SetField(*field, e.value, &c)) return fail(e.line, "bad value for " + e.key + ": " + e.value);
    }
    if (config) *config = c;
    if (format) *format = f;
    return true;
}

std::string ConfigToText(const HubConfig& config, const ConfigFormat& format, const ConfigDecodeNotes* notes) {
    std::string text;
    text += std::string("layout = ") + LayoutName(format.layout) + "\n";
    text += "size = " + std::to_string(format.size) + "\n";
    text += "hub_type = " + std::to_string(format.hubType) + "\n";
    text += std::string("form = ") + (format.form == ConfigForm::Full ? "full" : "compact") + "\n";
    if (notes && !notes->markerValid) text += "# byte 0x00 is neither 0x55 nor 0xAA: not a valid block\n";
    for (const Field& f : Fields()) {
        if (!Carried(f, format)) continue;
        if (notes && notes->usb2PortsRestored && f.integer == &HubConfig::usb2Ports)
            text += "# byte 0x09 is 0; the editor restores the 2.0 port count to 4\n";
        if (notes && notes->usb3PortsRestored && f.integer == &HubConfig::usb3Ports)
            text += "# byte 0x15 is 0; the editor restores the 3.0 port count to 4\n";
        text += std::string(f.name) + " = " + FieldText(f, config) + "\n";
    }
    return text;
}

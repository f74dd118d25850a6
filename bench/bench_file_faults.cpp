// The fault lines of a bench file: which calls they select and what they do
// to them (docs/bench.md, "Faults").
#include "bench/bench_file_parts.h"

namespace bench {
namespace file {

bool ParseSelection(Cursor& c, Fault& f) {
    if (c.Accept("device") || c.Accept("hub")) return c.Text(f.device, "device name");
    if (c.Accept("type")) return c.Value(f.bmRequestType, "bmRequestType", 0xFF);
    if (c.Accept("request")) return c.Value(f.bRequest, "bRequest", 0xFF);
    if (c.Accept("value")) return c.Value(f.wValue, "wValue", 0xFFFF);
    if (c.Accept("index")) return c.Value(f.wIndex, "wIndex", 0xFFFF);
    if (c.Accept("nth")) return c.Value(f.nth, "n", UINT32_MAX);
    if (c.Accept("first")) return c.Value(f.first, "count", UINT32_MAX);
    if (c.Accept("from")) return c.Value(f.from, "n", UINT32_MAX) && (f.from > 0 || c.Error("from counts from 1"));
    if (c.Accept("count")) return c.Value(f.count, "count", UINT32_MAX);
    if (c.Accept("error")) return c.Value(f.error, "error", UINT32_MAX);
    return c.Error("unknown fault field \"" + c.Peek() + "\"");
}

bool ParseFault(Cursor& c, Fault& f) {
    bool ok = true;
    if (c.Accept("fail")) {
        f.kind = FaultKind::FailRequest;
        while (ok && c.More()) {
            if (c.Accept("applied"))
                f.applied = true;
            else
                ok = ParseSelection(c, f);
        }
    } else if (c.Accept("flip")) {
        f.kind = FaultKind::FlipBit;
        bool haveByte = false, haveBit = false;
        while (ok && c.More()) {
            if (c.Accept("byte")) {
                ok = c.Value(f.byteIndex, "byte index", 0xFFFF);
                haveByte = true;
            } else if (c.Accept("bit")) {
                ok = c.Value(f.bit, "bit", 7);
                haveBit = true;
            } else {
                ok = ParseSelection(c, f);
            }
        }
        if (ok && (!haveByte || !haveBit)) ok = c.Error("a flip needs byte <i> and bit <b>");
    } else if (c.Accept("short")) {
        f.kind = FaultKind::ShortRead;
        while (ok && c.More()) {
            if (c.Accept("deliver"))
                ok = c.Value(f.deliver, "byte count", 0xFFFF);
            else
                ok = ParseSelection(c, f);
        }
    } else if (c.Accept("unplug")) {
        f.kind = FaultKind::Unplug;
        ok = c.Text(f.device, "device name");
        if (ok && c.Accept("after")) {
            ok = c.Value(f.after, "request count", UINT32_MAX);
        } else if (ok && c.Accept("at")) {
            ok = c.Value(f.at, "request number", UINT32_MAX);
            if (ok && !f.at) ok = c.Error("requests are counted from 1");
        } else if (ok && c.Accept("on")) {
            // The fields select the requests, to any device, at which it leaves.
            Fault selected;
            while (ok && c.More() && c.Peek() != "replug") ok = ParseSelection(c, selected);
            f.on = true;
            f.onDevice = selected.device;
            f.bmRequestType = selected.bmRequestType;
            f.bRequest = selected.bRequest;
            f.wValue = selected.wValue;
            f.wIndex = selected.wIndex;
            f.nth = selected.nth;
            f.first = selected.first;
            f.from = selected.from;
            f.count = selected.count;
        } else if (ok) {
            ok = c.Error("unplug <device> after <n> | at <n> | on <fields> [replug [<ms>]]");
        }
        if (ok && c.Accept("replug")) {
            f.replugMs = 0;
            if (c.More()) ok = c.Value(f.replugMs, "milliseconds", 0x7FFFFFFF);
        }
        if (ok) ok = c.End();
    } else if (c.Accept("ioctl")) {
        f.kind = FaultKind::FailIoctl;
        std::string code;
        ok = c.Text(code, "control code");
        f.ioctl = ControlCodeByName(code);
        if (ok && !f.ioctl) ok = c.Error("unknown control code " + code);
        while (ok && c.More()) ok = ParseSelection(c, f);
    } else if (c.Accept("open")) {
        f.kind = FaultKind::FailOpen;
        f.error = 2;
        while (ok && c.More()) ok = ParseSelection(c, f);
    } else if (c.Accept("guid")) {
        f.kind = FaultKind::FailGuid;
        while (ok && c.More()) ok = ParseSelection(c, f);
    } else {
        ok = c.Error("fault fail|flip|unplug|ioctl|open|guid ...");
    }
    if (ok && (!!f.nth + !!f.first + !!f.from) > 1) ok = c.Error("nth, first and from exclude each other");
    if (ok && f.count && !f.from) ok = c.Error("count goes with from");
    return ok;
}

bool ParseSystemFault(Cursor& c, SystemFault& f) {
    bool ok = true;
    if (c.Accept("start")) {
        f.kind = SystemFault::Kind::Start;
        ok = c.Text(f.program, "program name");
    } else if (c.Accept("powercfg")) {
        f.kind = SystemFault::Kind::Powercfg;
        ok = c.Text(f.contains, "POWERCFG option");
        if (ok && (f.contains[0] == '-' || f.contains[0] == '/')) f.contains = f.contains.substr(1);
        f.error = 1;
    } else if (c.Accept("privilege")) {
        f.kind = SystemFault::Kind::Privilege;
        f.error = 1300;  // ERROR_NOT_ALL_ASSIGNED
    } else if (c.Accept("shutdown")) {
        f.kind = SystemFault::Kind::Shutdown;
        f.error = 5;
    } else {
        c.Accept("devices");
        f.kind = SystemFault::Kind::DeviceList;
        f.error = 13;
    }
    while (ok && c.More()) {
        if (c.Accept("contains") && f.kind == SystemFault::Kind::Start)
            ok = c.Text(f.contains, "text");
        else if (c.Accept("nth"))
            ok = c.Value(f.nth, "n", UINT32_MAX);
        else if (c.Accept("first"))
            ok = c.Value(f.first, "count", UINT32_MAX);
        else if (c.Accept("error"))
            ok = c.Value(f.error, "error", UINT32_MAX);
        else
            ok = c.Error("unknown fault field \"" + c.Peek() + "\"");
    }
    if (ok && f.nth && f.first) ok = c.Error("nth and first exclude each other");
    return ok;
}

}  // namespace file
}  // namespace bench

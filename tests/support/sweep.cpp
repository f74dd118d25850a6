#include "support/sweep.h"

#include <algorithm>

#include <cstdio>

namespace tessaro {
namespace test {

namespace {

bool IsWrite(const bench::LogEntry& e) { return e.vendor && e.setup.bRequest == 0x83; }

// Whether written data agree with the image outside the container ID and
// the checksum, which every update makes anew.
bool WriteFits(const bench::LogEntry& e, const SweepImage& image) {
    for (size_t j = 0; j < e.data.size(); ++j) {
        size_t at = static_cast<size_t>(e.setup.wIndex) + j;
        if (at >= image.store) return false;
        if (at >= image.idOffset && at < image.idOffset + image.idLength) continue;
        if (at + 2 >= image.store) continue;
        uint8_t expected = at < image.bytes.size() ? image.bytes[at] : 0xFF;
        if (e.data[j] != expected) return false;
    }
    return true;
}

std::string Describe(const bench::LogEntry& e) {
    char text[96];
    std::snprintf(text, sizeof text, "request #%llu (%02X %04X %04X) to %s", static_cast<unsigned long long>(e.seq),
                  e.setup.bRequest, e.setup.wValue, e.setup.wIndex, e.device.c_str());
    return text;
}

}  // namespace

bool StoreHolds(const std::vector<uint8_t>& store, const SweepImage& image) {
    if (store.size() < image.store) return false;
    std::vector<uint8_t> expected(image.store, 0xFF);
    std::copy(image.bytes.begin(), image.bytes.end(), expected.begin());
    std::copy(store.begin() + static_cast<long>(image.idOffset),
              store.begin() + static_cast<long>(image.idOffset + image.idLength),
              expected.begin() + static_cast<long>(image.idOffset));
    uint16_t sum = 0;
    for (size_t i = 0; i + 2 < image.store; ++i) sum = static_cast<uint16_t>(sum + expected[i]);
    expected[image.store - 2] = static_cast<uint8_t>(sum >> 8);
    expected[image.store - 1] = static_cast<uint8_t>(sum);
    return std::equal(expected.begin(), expected.end(), store.begin());
}

std::vector<SweepFault> SweepFaults(const std::vector<bench::LogEntry>& clean,
                                    const std::vector<std::string>& leaving) {
    std::vector<SweepFault> faults;
    size_t reads = 0;
    for (const bench::LogEntry& e : clean)
        if (e.setup.bmRequestType & 0x80) ++reads;
    for (size_t n = 1; n <= clean.size(); ++n) faults.push_back({"fault fail nth " + std::to_string(n), ""});
    for (size_t k = 1; k <= reads; ++k) {
        faults.push_back({"fault short request 0x82 nth " + std::to_string(k), ""});
        faults.push_back(
            {"fault flip request 0x82 nth " + std::to_string(k) + " byte 0 bit " + std::to_string(k % 8), ""});
    }
    for (const std::string& hub : leaving)
        for (size_t n = 1; n <= clean.size(); ++n)
            faults.push_back({"fault unplug " + hub + " at " + std::to_string(n) + " replug", hub});
    return faults;
}

std::string CheckSweepRun(const std::vector<bench::LogEntry>& log, const SweepFault& fault,
                          const std::vector<std::string>& initial, const std::vector<SweepOperation>& operations,
                          bench::Pc& pc) {
    // Where the leaving hub left; the list then has it at its end.
    size_t left = log.size();
    if (!fault.leaving.empty()) {
        for (size_t i = 0; i < log.size() && left == log.size(); ++i)
            if (log[i].kind == bench::LogEntry::Kind::Event && log[i].note.rfind(fault.leaving + " left the bus", 0) == 0)
                left = i;
    }
    std::vector<std::string> moved = initial;
    if (left < log.size()) {
        moved.erase(std::remove(moved.begin(), moved.end(), fault.leaving), moved.end());
        moved.push_back(fault.leaving);
    }
    for (size_t o = 0; o < operations.size(); ++o) {
        const SweepOperation& op = operations[o];
        size_t firstRequest = op.to, firstWrite = op.to;
        for (size_t i = op.from; i < op.to; ++i) {
            if (log[i].vendor && firstRequest == op.to) firstRequest = i;
            if (IsWrite(log[i]) && firstWrite == op.to) firstWrite = i;
        }
        // The list the operation identified its hubs in: the first list
        // when the hub left after the writing began, the changed one when it
        // left before the operation sent anything; in between either.
        const bool unsure = left >= firstRequest && left < firstWrite;
        const std::vector<std::string>& order = left < firstRequest ? moved : initial;
        std::vector<std::string> targets;
        for (int index : op.hubIndexes)
            targets.push_back(static_cast<size_t>(index) < order.size() ? order[static_cast<size_t>(index)] : "");
        std::string where = "operation " + std::to_string(o + 1) + ": ";
        for (size_t i = op.from; i < op.to; ++i) {
            const bench::LogEntry& e = log[i];
            if (!IsWrite(e)) continue;
            if (unsure) {
                bool fits = e.data.empty();
                for (const SweepImage* image : op.images) fits = fits || WriteFits(e, *image);
                if (!fits) return where + Describe(e) + " writes data of no image of the run";
                continue;
            }
            auto it = std::find(targets.begin(), targets.end(), e.device);
            if (it == targets.end()) return where + Describe(e) + " writes a hub the run did not identify";
            size_t k = static_cast<size_t>(it - targets.begin());
            if (!e.data.empty() && !WriteFits(e, *op.images[k]))
                return where + Describe(e) + " writes data that are not its image's";
        }
        for (size_t k = 0; k < op.succeeded.size(); ++k) {
            if (!op.succeeded[k]) continue;
            bool held = false;
            if (unsure) {
                for (const std::string& name : initial)
                    held = held || StoreHolds(pc.FindDevice(name)->Store(), *op.images[k]);
            } else {
                bench::Device* device = pc.FindDevice(targets[k]);
                held = device && StoreHolds(device->Store(), *op.images[k]);
            }
            if (!held)
                return where + "success reported for hub " + std::to_string(op.hubIndexes[k] + 1) + " (" + targets[k] +
                       ") over a store that is not its image";
        }
    }
    return std::string();
}

}  // namespace test
}  // namespace tessaro

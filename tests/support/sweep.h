// A fault sweep: a clean run of an update, then the same run again with one
// fault at each of its requests (a failed request, a short read, a flipped
// bit, a hub leaving the bus and coming back at the end of the list), and
// the checks every such run must pass: no success over a store that is not
// the one intended, and no hub written that the run did not identify.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bench/pc.h"

namespace tessaro {
namespace test {

// An image the run writes, and where its store keeps the container ID.
struct SweepImage {
    std::vector<uint8_t> bytes;
    size_t store = 0;     // store size
    size_t idOffset = 0;  // container ID
    size_t idLength = 0;
};

// Whether a store holds the image as an update leaves it: padded with 0xFF,
// stamped with a container ID (whichever the update made) and checksummed.
bool StoreHolds(const std::vector<uint8_t>& store, const SweepImage& image);

struct SweepFault {
    std::string line;     // the bench file line
    std::string leaving;  // the hub that leaves and comes back, if any
};

// One failed request at each request of the clean run, a short read and a
// flipped bit at each read, and each of `leaving` leaving at each request.
std::vector<SweepFault> SweepFaults(const std::vector<bench::LogEntry>& clean, const std::vector<std::string>& leaving);

// One operation of the run: its log entries [from, to) (of Pc::Log), and
// per hub number the image it is meant to write.
struct SweepOperation {
    size_t from = 0;
    size_t to = 0;
    std::vector<int> hubIndexes;             // the hub numbers (from 0) it updates
    std::vector<const SweepImage*> images;   // the image of each
    std::vector<bool> succeeded;             // what the tool reported for each
};

// Checks one faulty run: `initial` is the list order before any fault,
// `images` what each hub kind may receive at all (the run's images by hub
// name in the initial order).  Returns the first violation, empty if none.
std::string CheckSweepRun(const std::vector<bench::LogEntry>& log, const SweepFault& fault,
                          const std::vector<std::string>& initial, const std::vector<SweepOperation>& operations,
                          bench::Pc& pc);

}  // namespace test
}  // namespace tessaro

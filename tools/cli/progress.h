// The progress of a gang run: one line per hub (hub, type, phase, percent).
// On a terminal the lines are drawn again in place; otherwise each change of
// phase is one plain line.  With --json-lines every change of phase, and
// every tenth of the percent, is one JSON event instead.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "hub/CHubIsp.h"

namespace cli {

class ProgressBoard {
public:
    // hubs: the hub numbers shown, one row each.
    ProgressBoard(const std::vector<int>& hubs, bool terminal);

    // From the workers.
    void SetType(size_t row, int hubType);
    void SetPhase(size_t row, const std::string& phase);
    ProgressByte& Percent(size_t row) { return m_rows[row].percent; }
    // The row's work is over; Wait returns once every row is done.
    void Done(size_t row);

    // From the main thread: draws until every row is done.  The redraws are
    // paced on the steady clock of the display, not on the tool's clock: no
    // step of an update waits for them, and a test's virtual clock is never
    // moved by them.
    void Wait();

    // Whether standard output is a terminal.
    static bool StdoutIsTerminal();

private:
    struct Row {
        int hub = 0;
        std::string type = "-";
        std::string phase = "waiting";
        ProgressByte percent{0};
        int shownTenth = 0;  // the tenth of the percent last sent as an event
        bool done = false;
    };
    std::string Line(const Row& row) const;
    void DrawLocked();
    void PercentEventsLocked();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Row> m_rows;
    bool m_terminal;
    bool m_drawn = false;
    size_t m_done = 0;
};

}  // namespace cli

// tessaro-cli: the progress lines of a gang run.
#include "tools/cli/progress.h"

#include <chrono>
#include <cstdio>

#if !defined(_WIN32)
#include <unistd.h>
#endif

#include "files/FirmwareImage.h"
#include "tools/cli/output.h"

namespace cli {

namespace {

constexpr auto kRedraw = std::chrono::milliseconds(200);

}  // namespace

bool ProgressBoard::StdoutIsTerminal() {
#if defined(_WIN32)
    // A Windows console shows ANSI sequences as they are unless the program
    // switches them on: the Windows build prints plain lines.
    return false;
#else
    return isatty(fileno(stdout)) != 0;
#endif
}

ProgressBoard::ProgressBoard(const std::vector<int>& hubs, bool terminal)
    : m_rows(hubs.size()), m_terminal(terminal && !JsonOutput()) {
    for (size_t i = 0; i < hubs.size(); ++i) m_rows[i].hub = hubs[i];
}

std::string ProgressBoard::Line(const Row& row) const {
    char text[160];
    std::snprintf(text, sizeof text, "hub %d  %-36.36s  %-15s %3u%%", row.hub, row.type.c_str(), row.phase.c_str(),
                  static_cast<unsigned>(row.percent.load()));
    return text;
}

void ProgressBoard::SetType(size_t row, int hubType) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_rows[row].type = HubTypeText(hubType);
}

void ProgressBoard::SetPhase(size_t row, const std::string& phase) {
    std::lock_guard<std::mutex> lock(m_mutex);
    Row& r = m_rows[row];
    r.phase = phase;
    if (Mode() == OutputMode::JsonLines) {
        Event({{"event", "progress"}, {"hub", r.hub}, {"type", r.type}, {"phase", phase},
               {"percent", r.percent.load()}});
    } else if (!m_terminal && !JsonOutput()) {
        Say("hub %d: %s\n", r.hub, phase.c_str());
    }
    m_changed.notify_all();
}

void ProgressBoard::Done(size_t row) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_rows[row].done) {
        m_rows[row].done = true;
        ++m_done;
    }
    m_changed.notify_all();
}

void ProgressBoard::PercentEventsLocked() {
    if (Mode() != OutputMode::JsonLines) return;
    for (Row& r : m_rows) {
        const int tenth = r.percent.load() / 10;
        if (r.done || tenth == r.shownTenth) continue;
        r.shownTenth = tenth;
        Event({{"event", "progress"}, {"hub", r.hub}, {"type", r.type}, {"phase", r.phase},
               {"percent", r.percent.load()}});
    }
}

void ProgressBoard::DrawLocked() {
    if (!m_terminal) return;
    std::string text;
    // Back to the first line of the board, each line cleared and drawn anew.
    if (m_drawn) text += "\x1b[" + std::to_string(m_rows.size()) + "A";
    for (const Row& r : m_rows) text += "\r\x1b[2K" + Line(r) + "\n";
    m_drawn = true;
    std::fputs(text.c_str(), stdout);
    std::fflush(stdout);
}

void ProgressBoard::Wait() {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        DrawLocked();
        PercentEventsLocked();
        if (m_done == m_rows.size()) break;
        m_changed.wait_for(lock, kRedraw);
    }
}

}  // namespace cli

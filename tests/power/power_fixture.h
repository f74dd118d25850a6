// What the power tests share: a dialog that records what the driver
// operations did to it, a process port that can hold back or hang chosen
// commands, and the bench system of the test.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <string>
#include <vector>

#include "platform/winconst.h"
#include "power/DriverSetup.h"
#include "support/bench_system.h"

namespace powertest {

class RecordingDialog : public IUpdateDialogSink {
public:
    void SetStatus(const std::string& text) override { calls.push_back("status " + text); }
    int ShowBox(const std::string& text, const std::string& caption, uint32_t style) override {
        calls.push_back("box " + caption + ": " + text + (style & tessaro::win::kMbIconError ? " (error)" : ""));
        return tessaro::win::kIdOk;
    }
    void StopProgressTimer() override { calls.push_back("stop timer"); }
    void SetProgress(int position) override { calls.push_back("progress " + std::to_string(position)); }
    void PostStartUpdate() override { calls.push_back("start update"); }
    void MarkRestartEnding() override { calls.push_back("restart ending"); }
    void Close() override { calls.push_back("close"); }
    void SetFirmwareVersionField(const std::string& text) override { calls.push_back("version " + text); }
    std::vector<std::string> calls;
};

// The bench's programs, with a few that behave as a real system sometimes
// does: a start that returns without running anything, a command whose
// output file is gone by the time it ends, a process that never ends.
class ScriptedProcess : public tessaro::IProcess {
public:
    explicit ScriptedProcess(tessaro::IProcess& inner) : m_inner(inner) {}
    bool ShellExecute(const tessaro::ShellStart& start, intptr_t* instApp, Proc* proc) override {
        starts.push_back(start);
        if (Has(start, swallow)) {
            // Started, as far as the shell tells, but without a process to wait for.
            if (instApp) *instApp = 42;
            if (proc) *proc = 0;
            return true;
        }
        const bool ok = m_inner.ShellExecute(start, instApp, proc);
        if (ok && Has(start, erase)) {
            uint32_t error = 0;
            tessaro::Sys().files->Delete("c:\\a.out", error);
        }
        if (ok && proc && *proc && Has(start, hang)) m_hung.insert(*proc);
        return ok;
    }
    int Wait(Proc proc, uint32_t timeoutMs, bool pump) override {
        waits.push_back(timeoutMs);
        pumped.push_back(pump);
        if (m_hung.count(proc)) {
            tessaro::Sys().clock->Sleep(timeoutMs);
            return 1;
        }
        return m_inner.Wait(proc, timeoutMs, pump);
    }
    bool ExitCode(Proc proc, uint32_t* code) override { return m_inner.ExitCode(proc, code); }
    void CloseProcess(Proc proc) override {
        closed++;
        m_inner.CloseProcess(proc);
    }
    std::string SystemDirectory() override { return m_inner.SystemDirectory(); }

    std::string swallow, erase, hang;  // parameter texts that select the behaviour
    std::vector<tessaro::ShellStart> starts;
    std::vector<uint32_t> waits;
    std::vector<bool> pumped;
    int closed = 0;

private:
    // Case does not matter, as for the commands themselves.
    static bool Has(const tessaro::ShellStart& s, const std::string& text) {
        if (text.empty()) return false;
        auto lower = [](std::string t) {
            for (char& c : t) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            return t;
        };
        return lower(s.parameters).find(lower(text)) != std::string::npos;
    }
    tessaro::IProcess& m_inner;
    std::set<Proc> m_hung;
};

class PowerTest : public ::testing::Test {
protected:
    // The bench, with this test's process port in front of the bench's.
    bench::Pc& Bench(const std::string& text) {
        bench::Pc& pc = sys.Bench(text);
        process = std::make_unique<ScriptedProcess>(*pc.Ports().process);
        tessaro::System ports;
        ports.process = process.get();
        sys.Install(ports);
        return pc;
    }
    std::vector<std::string> Parameters() const {
        std::vector<std::string> out;
        for (const tessaro::ShellStart& s : process->starts) out.push_back(s.parameters);
        return out;
    }
    uint32_t Suspend(bool ac) {
        uint32_t a = 99, d = 99;
        EXPECT_TRUE(sys.pc().PowerValue(sys.pc().ActiveScheme(), bench::kUsbSubgroup, bench::kUsbSelectiveSuspend,
                                        &a, &d));
        return ac ? a : d;
    }

    tessaro::test::BenchSystem sys;
    std::unique_ptr<ScriptedProcess> process;
};

}  // namespace powertest

#include "power/Programs.h"

#include "platform/winconst.h"

namespace power {

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    const char last = folder.back();
    if (last == '\\' || last == '/') return folder + name;
    return folder + "\\" + name;
}

std::string SystemProgram(const std::string& name) {
    std::string folder = tessaro::Sys().process->SystemDirectory();
    if (folder.empty()) return std::string();
    return JoinPath(folder, name);
}

ProgramRun StartProgram(const tessaro::ShellStart& start, bool wait, uint32_t timeoutMs, bool pump) {
    tessaro::IProcess& process = *tessaro::Sys().process;
    ProgramRun run;
    tessaro::IProcess::Proc proc = 0;
    const bool ok = process.ShellExecute(start, &run.instApp, &proc);
    run.started = ok && run.instApp > 32;
    if (!run.started) run.error = tessaro::LastError();
    run.hadHandle = proc != 0;
    if (run.started && wait && proc) {
        run.waited = process.Wait(proc, timeoutMs, pump);
        if (run.waited != 0) run.error = run.waited == 1 ? tessaro::win::kErrTimeout : tessaro::LastError();
        if (run.waited == 0) run.haveExitCode = process.ExitCode(proc, &run.exitCode);
    }
    if (proc) process.CloseProcess(proc);
    return run;
}

}  // namespace power

// Switching a program onto the simulated PC: when the environment variable
// TESSARO_BENCH names a bench file, that PC's ports replace the real ones for
// as long as the returned Activation lives.
#pragma once

#include <memory>
#include <string>

#include "bench/pc.h"
#include "platform/ports.h"

namespace bench {

// Follows a bench control file while the program runs: every line appended
// to it ("plug NAME", "unplug NAME") is applied to the PC, which raises the
// device notifications a real hot plug would.  Lines already in the file
// when the watch starts are applied too.
class ControlWatch;

class Activation {
public:
    enum class State {
        NotRequested,  // TESSARO_BENCH is not set: the real ports stay
        Installed,     // the bench's ports are in force
        Failed,        // a bench was asked for but cannot be used: do not go on
    };

    Activation();
    Activation(Activation&&) noexcept;
    Activation& operator=(Activation&&) noexcept;
    ~Activation();

    State GetState() const { return m_state; }
    bool Failed() const { return m_state == State::Failed; }
    // "file:line: reason" when Failed.
    const std::string& Error() const { return m_error; }
    const std::string& BenchFile() const { return m_file; }
    Pc* GetPc() const { return m_pc.get(); }

private:
    friend Activation Install(const std::string& benchFile);
    friend Activation InstallFromEnvironment();
    State m_state = State::NotRequested;
    std::string m_error;
    std::string m_file;
    std::unique_ptr<Pc> m_pc;                       // declared first: outlives the ports
    std::unique_ptr<tessaro::ScopedSystem> m_ports;
    std::unique_ptr<ControlWatch> m_watch;  // TESSARO_BENCH_CONTROL; stopped before the PC goes
};

// Loads the bench file, installs its ports and prints one line on standard
// error saying so; a file that cannot be read or parsed prints the reason
// (with file and line) and gives State::Failed.
Activation Install(const std::string& benchFile);

// Install(TESSARO_BENCH) when the variable is set; NotRequested otherwise.
// With TESSARO_BENCH_CONTROL naming a file, that file is watched as a bench
// control file for as long as the activation lives.
Activation InstallFromEnvironment();

}  // namespace bench

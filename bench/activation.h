// Switching a program onto the simulated PC: when the environment variable
// TESSARO_BENCH names a bench file, that PC's ports replace the real ones for
// as long as the returned Activation lives.
#pragma once

#include <memory>
#include <string>

#include "bench/pc.h"
#include "platform/ports.h"

namespace bench {

class Activation {
public:
    enum class State {
        NotRequested,  // TESSARO_BENCH is not set: the real ports stay
        Installed,     // the bench's ports are in force
        Failed,        // a bench was asked for but cannot be used: do not go on
    };

    Activation() = default;
    Activation(Activation&&) = default;
    Activation& operator=(Activation&&) = default;
    ~Activation();

    State GetState() const { return m_state; }
    bool Failed() const { return m_state == State::Failed; }
    // "file:line: reason" when Failed.
    const std::string& Error() const { return m_error; }
    const std::string& BenchFile() const { return m_file; }
    Pc* GetPc() const { return m_pc.get(); }

private:
    friend Activation Install(const std::string& benchFile);
    State m_state = State::NotRequested;
    std::string m_error;
    std::string m_file;
    std::unique_ptr<Pc> m_pc;                       // declared first: outlives the ports
    std::unique_ptr<tessaro::ScopedSystem> m_ports;
};

// Loads the bench file, installs its ports and prints one line on standard
// error saying so; a file that cannot be read or parsed prints the reason
// (with file and line) and gives State::Failed.
Activation Install(const std::string& benchFile);

// Install(TESSARO_BENCH) when the variable is set; NotRequested otherwise.
Activation InstallFromEnvironment();

}  // namespace bench

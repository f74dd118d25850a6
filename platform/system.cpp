#include "platform/ports.h"

#include <atomic>
#include <cstdlib>

namespace tessaro {

namespace {
System g_system;
bool g_initialised = false;
std::atomic<uint64_t> g_settingsGeneration{1};

void Merge(System& into, const System& from) {
    if (from.clock) into.clock = from.clock;
    if (from.debug) into.debug = from.debug;
    if (from.files) into.files = from.files;
    if (from.ini) into.ini = from.ini;
    if (from.registry) into.registry = from.registry;
    if (from.box) into.box = from.box;
    if (from.os) into.os = from.os;
    if (from.driver) into.driver = from.driver;
    if (from.guid) into.guid = from.guid;
    if (from.devices) into.devices = from.devices;
    if (from.process) into.process = from.process;
    if (from.shutdown) into.shutdown = from.shutdown;
    if (from.shell) into.shell = from.shell;
    if (from.console) into.console = from.console;
    if (from.errors) into.errors = from.errors;
}

// Ports of the calling thread (ScopedThreadPorts), and the set this thread
// sees with them: the one in force with those put over it.
thread_local const System* t_threadPorts = nullptr;
thread_local System t_view;
}  // namespace

System& Sys() {
    if (!g_initialised) {
        g_system = NativeSystem();
        g_initialised = true;
    }
    if (!t_threadPorts) return g_system;
    t_view = g_system;
    Merge(t_view, *t_threadPorts);
    return t_view;
}

ScopedThreadPorts::ScopedThreadPorts(const System& ports) : previous_(t_threadPorts), ports_(ports) {
    if (previous_) {
        System merged = *previous_;
        Merge(merged, ports);
        ports_ = merged;
    }
    t_threadPorts = &ports_;
}

ScopedThreadPorts::~ScopedThreadPorts() { t_threadPorts = previous_; }

ScopedSystem::ScopedSystem(const System& ports) : previous_((Sys(), g_system)) {
    Merge(g_system, ports);
    SettingsChanged();
}

ScopedSystem::~ScopedSystem() {
    g_system = previous_;
    SettingsChanged();
}

uint64_t SettingsGeneration() { return g_settingsGeneration.load(); }

void SettingsChanged() { ++g_settingsGeneration; }

std::string GetEnv(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

}  // namespace tessaro

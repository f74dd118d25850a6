// The port objects Pc hands out: thin adapters that forward every call to
// the PC, which keeps all state under one lock.
#pragma once

#include "bench/pc.h"

namespace bench {

class Pc::Driver : public tessaro::IDriver {
public:
    explicit Driver(Pc& pc) : m_pc(pc) {}
    tessaro::Handle Open(const std::string& name) override { return m_pc.DriverOpen(name); }
    bool IoControl(tessaro::Handle h, uint32_t code, const void* in, uint32_t inSize, void* out, uint32_t outSize,
                   uint32_t* returned) override {
        return m_pc.DriverControl(h, code, in, inSize, out, outSize, returned);
    }
    void Close(tessaro::Handle h) override { m_pc.DriverClose(h); }

private:
    Pc& m_pc;
};

class Pc::DeviceList : public tessaro::IDeviceList {
public:
    explicit DeviceList(Pc& pc) : m_pc(pc) {}
    List Open(const std::string& className, bool presentOnly) override {
        return m_pc.ListOpen(className, presentOnly);
    }
    bool Enum(List list, uint32_t index) override { return m_pc.ListEnum(list, index); }
    bool HardwareId(List list, uint32_t index, std::string& id, uint32_t maxBytes) override {
        return m_pc.ListHardwareId(list, index, id, maxBytes);
    }
    bool SetInstallParams(List list, uint32_t index, bool enable) override {
        return m_pc.ListSetParams(list, index, enable);
    }
    bool ChangeState(List list, uint32_t index) override { return m_pc.ListChangeState(list, index); }
    void Close(List list) override { m_pc.ListClose(list); }

private:
    Pc& m_pc;
};

class Pc::Process : public tessaro::IProcess {
public:
    explicit Process(Pc& pc) : m_pc(pc) {}
    bool ShellExecute(const tessaro::ShellStart& start, intptr_t* instApp, Proc* proc) override {
        return m_pc.Start(start, instApp, proc);
    }
    int Wait(Proc proc, uint32_t timeoutMs, bool) override { return m_pc.Wait(proc, timeoutMs); }
    bool ExitCode(Proc proc, uint32_t* code) override { return m_pc.ExitCode(proc, code); }
    void CloseProcess(Proc proc) override { m_pc.CloseProcess(proc); }
    std::string SystemDirectory() override { return "C:\\Windows\\system32"; }

private:
    Pc& m_pc;
};

class Pc::Shutdown : public tessaro::IShutdown {
public:
    explicit Shutdown(Pc& pc) : m_pc(pc) {}
    bool AdjustShutdownPrivilege(bool enable) override { return m_pc.AdjustPrivilege(enable); }
    bool InitiateShutdown(const char* message, uint32_t timeoutSeconds, bool forceAppsClosed,
                          bool reboot) override {
        return m_pc.InitiateShutdown(message, timeoutSeconds, forceAppsClosed, reboot);
    }

private:
    Pc& m_pc;
};

class Pc::Shell : public tessaro::IShell {
public:
    explicit Shell(Pc& pc) : m_pc(pc) {}
    bool DesktopFolder(std::string& path) override { return m_pc.Desktop(path); }

private:
    Pc& m_pc;
};

}  // namespace bench

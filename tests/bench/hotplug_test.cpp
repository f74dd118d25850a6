// Hot plug on the bench: the listener hears every hub that comes or goes,
// whoever moves it, and a control file moves hubs from outside the program.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "bench/activation.h"
#include "bench/pc.h"

namespace {

const char* kBench =
    "box quiet\n"
    "hub A\n  store eeprom 256\n  function vid 0x2C7E pid 0x0B47\nend\n"
    "hub B\n  store eeprom 256\n  function vid 0x2C7E pid 0x0B47\nend\n";

TEST(HotPlug, ListenerHearsHubsComeAndGoByControlLines) {
    std::string error;
    std::unique_ptr<bench::Pc> pc = bench::Pc::FromText(kBench, ::testing::TempDir(), &error);
    ASSERT_TRUE(pc) << error;
    std::vector<std::string> heard;
    pc->OnHubChange([&](const std::string& name, bool arrival) { heard.push_back((arrival ? "+" : "-") + name); });
    struct Line {
        const char* text;
        bool ok;
        const char* error;
    };
    for (const Line& l : {Line{"unplug B", true, ""}, Line{"unplug B", true, ""}, Line{"# a note", true, ""},
                          Line{"", true, ""}, Line{"plug B", true, ""}, Line{"unplug Z", false, "no device Z"},
                          Line{"replug A", false, "expected \"plug NAME\" or \"unplug NAME\": replug A"},
                          Line{"plug A now", false, "expected \"plug NAME\" or \"unplug NAME\": plug A now"}}) {
        error.clear();
        EXPECT_EQ(pc->Control(l.text, &error), l.ok) << l.text;
        EXPECT_EQ(error, l.error) << l.text;
    }
    // Unplugging twice is one departure; the list follows.
    EXPECT_EQ(heard, (std::vector<std::string>{"-B", "+B"}));
    EXPECT_TRUE(pc->FindDevice("B")->Plugged());
}

TEST(HotPlug, ControlFileIsFollowedWhileTheActivationLives) {
    const std::string dir = ::testing::TempDir();
    const std::string benchFile = dir + "hotplug.bench";
    const std::string control = dir + "hotplug.control";
    std::ofstream(benchFile) << kBench;
    std::ofstream(control) << "";
#ifdef _WIN32
    _putenv_s("TESSARO_BENCH", benchFile.c_str());
    _putenv_s("TESSARO_BENCH_CONTROL", control.c_str());
#else
    setenv("TESSARO_BENCH", benchFile.c_str(), 1);
    setenv("TESSARO_BENCH_CONTROL", control.c_str(), 1);
#endif
    {
        bench::Activation a = bench::InstallFromEnvironment();
        ASSERT_EQ(a.GetState(), bench::Activation::State::Installed);
        std::mutex mutex;
        std::vector<std::string> heard;
        a.GetPc()->OnHubChange([&](const std::string& name, bool arrival) {
            std::lock_guard<std::mutex> lock(mutex);
            heard.push_back((arrival ? "+" : "-") + name);
        });
        std::ofstream(control, std::ios::app) << "unplug A\n";
        // The file is read in real time, every 100 ms.
        for (int i = 0; i < 300 && a.GetPc()->FindDevice("A")->Plugged(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_FALSE(a.GetPc()->FindDevice("A")->Plugged());
        std::lock_guard<std::mutex> lock(mutex);
        EXPECT_EQ(heard, (std::vector<std::string>{"-A"}));
    }
#ifdef _WIN32
    _putenv_s("TESSARO_BENCH", "");
    _putenv_s("TESSARO_BENCH_CONTROL", "");
#else
    unsetenv("TESSARO_BENCH");
    unsetenv("TESSARO_BENCH_CONTROL");
#endif
}

}  // namespace

// pwrsusp, run as the separate program it is, against a stand-in POWERCFG
// that records every command line it is given.  The stand-in lies where
// pwrsusp looks for the system's own: under Wine it is put into the test
// prefix's system folder, natively the build names its folder.
#include <gtest/gtest.h>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/stat.h>
#include <sys/wait.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "support/programs.h"
#include "support/test_system.h"

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void SetEnv(const std::string& name, const std::string& value) {
#if defined(_WIN32)
    _putenv((name + "=" + value).c_str());
#else
    setenv(name.c_str(), value.c_str(), 1);
#endif
}

#if defined(_WIN32)
bool UnderWine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

// The stand-in as the system's powercfg.exe.  It stays there: the prefix is
// the test run's own, and a test of the power plan may be running it now.
bool InstallStandIn(std::string& why) {
    char system[MAX_PATH] = {};
    GetSystemDirectoryA(system, MAX_PATH);
    const std::string target = std::string(system) + "\\powercfg.exe";
    const std::string standIn = tessaro::test::BuildProgram("tests/standins/POWERCFG");
    if (CopyFileA(standIn.c_str(), target.c_str(), FALSE)) return true;
    if (GetFileAttributesA(target.c_str()) != INVALID_FILE_ATTRIBUTES) return true;  // in use: already ours
    why = "cannot put the stand-in at " + target;
    return false;
}
#endif

const char kSep =
#if defined(_WIN32)
    '\\';
#else
    '/';
#endif

class PwrsuspTest : public ::testing::Test {
protected:
    void SetUp() override {
#if defined(_WIN32)
        // On a real PC the system's POWERCFG would change the power plan.
        if (!UnderWine()) GTEST_SKIP() << "runs the system's POWERCFG";
        std::string why;
        ASSERT_TRUE(InstallStandIn(why)) << why;
#endif
        folder = tessaro::test::MakeTempFolder("pwrsusp");
        log = folder + kSep + "powercfg.log";
        SetEnv("POWERCFG_LOG", log);
        SetEnv("POWERCFG_ANSWER", "Power Scheme GUID: 381b4222-f694-41f0-9685-ff5bb260df2e  (Balanced)");
    }
    void TearDown() override {
        if (!folder.empty()) tessaro::test::RemoveTree(folder);
    }
    // Runs pwrsusp (the build's, or another copy) with the given arguments in
    // the working folder; returns its exit code and keeps its standard output.
    int Run(const std::string& args, std::string program = std::string(), std::string workDir = std::string()) {
        if (program.empty()) program = tessaro::test::BuildProgram("pwrsusp/pwrsusp");
        if (workDir.empty()) workDir = folder;
        const std::string out = folder + kSep + "out.txt";
#if defined(_WIN32)
        const std::string command = "cd /d \"" + workDir + "\" && \"" + program + "\" " + args + " > \"" + out + "\"";
        int rc = std::system(("\"" + command + "\"").c_str());
#else
        const std::string command = "cd \"" + workDir + "\" && \"" + program + "\" " + args + " > \"" + out + "\"";
        int status = std::system(command.c_str());
        int rc = WIFEXITED(status) ? static_cast<signed char>(WEXITSTATUS(status)) : -100;
#endif
        output = ReadAll(out);
        return rc;
    }
    std::string folder, log, output;
};

const char kAllFour[] =
    "-GETACTIVESCHEME\n"
    "-SETACVALUEINDEX 381b4222-f694-41f0-9685-ff5bb260df2e 2a737441-1930-4402-8d77-b2bebba308a3 "
    "48e6b7a6-50f5-4782-a5d4-53bb8f07e226 1\n"
    "-SETDCVALUEINDEX 381b4222-f694-41f0-9685-ff5bb260df2e 2a737441-1930-4402-8d77-b2bebba308a3 "
    "48e6b7a6-50f5-4782-a5d4-53bb8f07e226 1\n"
    "-SETACTIVE 381b4222-f694-41f0-9685-ff5bb260df2e\n";

TEST_F(PwrsuspTest, WrongArgumentCountExitsQuietlyWithoutCommands) {
    EXPECT_EQ(Run(""), -1);
    EXPECT_EQ(output, "");
    EXPECT_EQ(Run("1 2"), -1);
    EXPECT_EQ(output, "");
    EXPECT_EQ(ReadAll(log), "");
}

TEST_F(PwrsuspTest, SetsAcAndDcValuesThenActivatesTheScheme) {
    EXPECT_EQ(Run("1"), 0);
    EXPECT_EQ(output, "");
    EXPECT_EQ(ReadAll(log), kAllFour);
}

TEST_F(PwrsuspTest, ANonNumericValueCountsAsZero) {
    EXPECT_EQ(Run("off"), 0);
    std::string text = ReadAll(log);
    EXPECT_NE(text.find("48e6b7a6-50f5-4782-a5d4-53bb8f07e226 0\n-SETDCVALUEINDEX"), std::string::npos) << text;
}

TEST_F(PwrsuspTest, AQueryAnswerWithoutGuidChangesNothing) {
    SetEnv("POWERCFG_ANSWER", "Access denied");
    EXPECT_EQ(Run("1"), -1);
    EXPECT_EQ(output.substr(0, 27), "invalid power scheme string");
    EXPECT_EQ(ReadAll(log), "-GETACTIVESCHEME\n");
}

TEST_F(PwrsuspTest, AnythingButAGuidNeverReachesACommandLine) {
    SetEnv("POWERCFG_ANSWER", "Power Scheme GUID: 381b4222-f694-41f0-9685-ff5bb260df2e&calc (Balanced)");
    EXPECT_EQ(Run("0"), 0);  // the 36 characters are a GUID; what follows is never used
    SetEnv("POWERCFG_ANSWER", "Power Scheme GUID: 381b4222&del *.*&echo 0-9685-ff5bb260df2e  (Balanced)");
    EXPECT_EQ(Run("0"), -1);
    EXPECT_EQ(output.substr(0, 27), "invalid power scheme string");
    SetEnv("POWERCFG_ANSWER", "Power Scheme GUID: 381b");
    EXPECT_EQ(Run("0"), -1);
    std::string text = ReadAll(log);
    EXPECT_EQ(text.find("del"), std::string::npos);
    EXPECT_EQ(text.find("381b4222&"), std::string::npos);
}

// Somebody who can write to the tool's folder leaves a POWERCFG there and
// puts that folder first on the PATH; pwrsusp, run as administrator from
// that folder, still runs only the system's own.
TEST_F(PwrsuspTest, APowercfgPlantedBesideTheToolNeverRuns) {
    namespace fs = std::filesystem;
    const std::string tool = folder + kSep + "tool";
    fs::create_directories(tool);
    const std::string built = tessaro::test::BuildProgram("pwrsusp/pwrsusp");
    const std::string copy = tool + kSep + fs::path(built).filename().string();
    fs::copy_file(built, copy);
    const std::string marker = tool + kSep + "planted-ran.txt";
#if defined(_WIN32)
    for (const char* name : {"POWERCFG.bat", "POWERCFG.cmd"}) {
        std::ofstream(tool + kSep + name) << "@echo planted>>\"" << marker << "\"\r\n";
    }
    const char* pathSep = ";";
#else
    const std::string planted = tool + "/POWERCFG";
    std::ofstream(planted) << "#!/bin/sh\necho planted >> '" << marker << "'\n";
    chmod(planted.c_str(), 0755);
    const char* pathSep = ":";
#endif
    const char* oldPath = std::getenv("PATH");
    const std::string saved = oldPath ? oldPath : "";
    SetEnv("PATH", tool + pathSep + "." + pathSep + saved);
    const int rc = Run("1", copy, tool);
    SetEnv("PATH", saved);

    EXPECT_FALSE(fs::exists(marker)) << "the planted POWERCFG ran";
    EXPECT_EQ(rc, 0) << output;
    EXPECT_EQ(ReadAll(log), kAllFour) << "the system's POWERCFG did the work";
}

}  // namespace

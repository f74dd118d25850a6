// pwrsusp, run as the separate program it is, with a stand-in POWERCFG first
// on the PATH that records every command line it is given.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "support/test_system.h"

#if !defined(_WIN32)
#include <sys/wait.h>
#endif

namespace {

// Build tree paths come from CTest as this machine's paths; under Wine they are
// reached through drive Z.
std::string BuildPath(const std::string& relative) {
    const char* root = std::getenv("TESSARO_TEST_BINARY");
    std::string base = root ? root : ".";
#if defined(_WIN32)
    if (!base.empty() && base[0] == '/') base = "Z:" + base;
    std::string path = base + "/" + relative;
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path + ".exe";
#else
    return base + "/" + relative;
#endif
}

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

class PwrsuspTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = tessaro::test::MakeTempFolder("pwrsusp");
        log = folder + Sep() + "powercfg.log";
        const char* path = std::getenv("PATH");
        oldPath = path ? path : "";
        std::string standins = BuildPath("tests/standins/POWERCFG");
        standins = standins.substr(0, standins.find_last_of("\\/"));
#if defined(_WIN32)
        SetEnv("PATH", standins + ";" + oldPath);
#else
        SetEnv("PATH", standins + ":" + oldPath);
#endif
        SetEnv("POWERCFG_LOG", log);
        SetEnv("POWERCFG_ANSWER", "Power Scheme GUID: 381b4222-f694-41f0-9685-ff5bb260df2e  (Balanced)");
    }
    void TearDown() override {
        SetEnv("PATH", oldPath);
        tessaro::test::RemoveTree(folder);
    }
    static std::string Sep() {
#if defined(_WIN32)
        return "\\";
#else
        return "/";
#endif
    }
    // Runs pwrsusp with the given arguments; returns its exit code and keeps
    // its standard output.
    int Run(const std::string& args) {
        std::string out = folder + Sep() + "out.txt";
        std::string command = "\"" + BuildPath("pwrsusp/pwrsusp") + "\" " + args + " > \"" + out + "\"";
#if defined(_WIN32)
        int rc = std::system(("\"" + command + "\"").c_str());
#else
        int status = std::system(command.c_str());
        int rc = WIFEXITED(status) ? static_cast<signed char>(WEXITSTATUS(status)) : -100;
#endif
        output = ReadAll(out);
        return rc;
    }
    std::string folder, log, oldPath, output;
};

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
    EXPECT_EQ(ReadAll(log),
              "-GETACTIVESCHEME\n"
              "-SETACVALUEINDEX 381b4222-f694-41f0-9685-ff5bb260df2e 2a737441-1930-4402-8d77-b2bebba308a3 "
              "48e6b7a6-50f5-4782-a5d4-53bb8f07e226 1\n"
              "-SETDCVALUEINDEX 381b4222-f694-41f0-9685-ff5bb260df2e 2a737441-1930-4402-8d77-b2bebba308a3 "
              "48e6b7a6-50f5-4782-a5d4-53bb8f07e226 1\n"
              "-SETACTIVE 381b4222-f694-41f0-9685-ff5bb260df2e\n");
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

}  // namespace

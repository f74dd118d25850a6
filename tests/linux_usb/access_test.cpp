// A hub whose device node the user may not open: the command fails with the
// Windows code for access denied, and names the node and the udev rule.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <memory>

#include "linux_usb/emulated_bus.h"
#include "platform/linux/usb_driver.h"
#include "support/bench_system.h"
#include "tools/cli/cli.h"

using tessaro::test::BenchSystem;

namespace {

TEST(LibusbAccess, ANodeItMayNotOpenIsNamedWithTheUdevRule) {
    BenchSystem sys("tessaro-cli.exe");
    sys.Bench("hub Lite\n  store eeprom 256\n  function pid 0x0B47 bcd-usb 0x0210\nend\n");
    usbtest::EmulatedBus bus(sys.pc(), *sys.pc().Ports().driver);
    ASSERT_TRUE(bus.Ok()) << bus.Error();
    const std::string node = bus.Node("Lite", 0);
    ASSERT_EQ(node, "/dev/bus/usb/001/002");
    // The node becomes a plain file nobody may open (root aside, so the
    // command runs as an ordinary user below); the rest of the test bed is
    // open to all, for the udev monitor's socket and the preload's default
    // ioctl socket.
    bus.Detach(node);
    ASSERT_EQ(chmod(bus.RootDir().c_str(), 0777), 0);
    const std::string file = bus.RootDir() + node;
    unlink(file.c_str());
    const int fd = open(file.c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    close(fd);
    ASSERT_EQ(chmod(file.c_str(), 0), 0);
    chmod((bus.RootDir() + "/ioctl/_default").c_str(), 0777);
    std::unique_ptr<tessaro::IDriver> usb = tessaro::MakeLibusbDriver();
    tessaro::System ports;
    ports.driver = usb.get();
    tessaro::ScopedSystem port(ports);

    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(pipeFds[0]);
        dup2(pipeFds[1], 1);
        dup2(pipeFds[1], 2);
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(90);
        _exit(cli::Main({"list"}));
    }
    close(pipeFds[1]);
    std::string text;
    char buf[512];
    for (ssize_t n; (n = read(pipeFds[0], buf, sizeof buf)) > 0;) text.append(buf, static_cast<size_t>(n));
    close(pipeFds[0]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1) << text;
    EXPECT_NE(text.find("VX_IOCTL_GET_CONTAINER_ID ERROR! 5"), std::string::npos) << text;
    EXPECT_NE(text.find("no access to /dev/bus/usb/001/002: install the udev rule "
                        "platform/linux/60-tessaro-hubs.rules"),
              std::string::npos)
        << text;
}

}  // namespace

// The serial device listing and the driver lookup against a fake sysfs tty tree in a temp dir, built
// the way the kernel lays it out: tty/<name>/device is a link, device/driver a link to the driver.
#include "tests/support/TempDir.h"
#include "transport/ComPortRs232.h"
#include "transport/UniqueFd.h"

#include <pty.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

namespace fs = std::filesystem;

namespace {

class SerialPortListTest : public ::testing::Test {
protected:
    std::string Tty() const { return m_dir.file("class/tty/"); }
    std::string Dev() const { return m_dir.file("dev/"); }

    void SetUp() override {
        fs::create_directories(Tty());
        fs::create_directories(Dev());
    }

    // A tty entry whose device is driven by `driver` (empty: a device link without driver).
    void AddDevice(const std::string& name, const std::string& driver) {
        const std::string device = m_dir.file("devices/" + name);
        fs::create_directories(device);
        fs::create_directories(Tty() + name);
        fs::create_symlink(device, Tty() + name + "/device");
        if (!driver.empty()) {
            const std::string driverDir = m_dir.file("bus/drivers/" + driver);
            fs::create_directories(driverDir);
            fs::create_symlink("../../bus/drivers/" + driver, device + "/driver");
        }
    }
    // A tty entry without a device link (virtual consoles, pseudo terminals).
    void AddVirtual(const std::string& name) { fs::create_directories(Tty() + name); }

    TempDir m_dir;
};

} // namespace

TEST_F(SerialPortListTest, ListsDriverBackedDevicesAndOnlyConfirmedBuiltInUarts) {
    AddDevice("ttyUSB0", "ftdi_sio");
    AddDevice("ttyACM0", "cdc_acm");
    AddDevice("ttyS0", "serial8250");
    AddDevice("ttyS1", "serial8250");
    AddDevice("ttyS2", "serial8250");
    AddDevice("ttyX9", ""); // device without a driver
    AddVirtual("tty0");
    fs::create_directories(Tty() + "console/device"); // "device" that is not a link

    std::map<std::string, int> queried;
    const ComPortRs232::SerialTypeQuery query = [&](const std::string& path) -> std::optional<int> {
        ++queried[path];
        if (path == Dev() + "ttyS0")
            return 4; // a 16550A
        if (path == Dev() + "ttyS1")
            return 0; // registered, but no UART
        return std::nullopt;
    };
    std::string error = "stale";
    const std::vector<std::string> list = ComPortRs232::getComList(error, Tty(), Dev(), query);
    EXPECT_EQ(error, "");
    // Visited from the last entry to the first; the confirmed built-in UARTs come last.
    EXPECT_EQ(list, (std::vector<std::string>{Dev() + "ttyUSB0", Dev() + "ttyACM0", Dev() + "ttyS0"}));
    // Only the built-in UART candidates are opened and asked, each once.
    EXPECT_EQ(queried,
              (std::map<std::string, int>{{Dev() + "ttyS0", 1}, {Dev() + "ttyS1", 1}, {Dev() + "ttyS2", 1}}));
}

TEST_F(SerialPortListTest, BuiltInUartCandidatesAreReallyQueriedAndAMissingTreeIsAScandirError) {
    // A pty behind the candidate's device path: it has no serial-line information to give.
    int master = -1;
    int slave = -1;
    char name[256] = {};
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    UniqueFd masterFd(master);
    UniqueFd slaveFd(slave);
    fs::create_symlink(name, Dev() + "ttyS0");
    AddDevice("ttyS0", "serial8250");
    AddDevice("ttyS1", "serial8250"); // no device node at all
    AddDevice("ttyUSB1", "pl2303");
    std::string error;
    EXPECT_EQ(ComPortRs232::getComList(error, Tty(), Dev()), std::vector<std::string>{Dev() + "ttyUSB1"});
    EXPECT_TRUE(ComPortRs232::getComList(error, m_dir.file("missing/"), Dev()).empty());
    EXPECT_EQ(error, "Error in scandir");
}

TEST_F(SerialPortListTest, DriverNameOfADevicePathIsUpperCase) {
    AddDevice("ttyUSB0", "ftdi_sio");
    AddVirtual("tty0");
    std::string driver;
    ASSERT_TRUE(ComPortRs232::GetDriverName("/dev/ttyUSB0", driver, Tty()));
    EXPECT_EQ(driver, "FTDI_SIO");
    for (const char* path : {"/dev/tty0", "/dev/", static_cast<const char*>(nullptr)}) {
        EXPECT_FALSE(ComPortRs232::GetDriverName(path, driver, Tty())) << (path ? path : "null");
        EXPECT_EQ(driver, "");
    }
}

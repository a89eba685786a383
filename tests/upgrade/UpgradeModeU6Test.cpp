// Mode U6 against a scripted printer and a scripted HID boot device: the records cut from the image,
// what acknowledges one, the whole procedure's bytes on both ports, and its failures.
#include "UpgradeRig.h"

#include "firmware/PSWComponents.h"
#include "tests/support/ScriptedHidPort.h"
#include "upgrade/UpgradeModeU6.h"

#include <gmock/gmock.h>

#include <optional>

using ::testing::ElementsAre;
using Frames = std::vector<UpgradePrinter_ModeU6::Frame>;

namespace {

const Bytes kImage{0x24, 0x03, 0x31, 0xAA, 0xBB, 0x24, 0x02, 0x30, 0x00};
const Bytes kAck = HidScript::kAck;

class VirtualSerialPort : public RigPort {
public:
    using RigPort::RigPort;
    int OpenSerial(const char* name, int baud, int parity, int byteSize, int stopBits, int flow) override {
        m_virtualPort = true;
        return RigPort::OpenSerial(name, baud, parity, byteSize, stopBits, flow);
    }
};

class ModeU6Test : public UpgradeRig {
protected:
    // A driver that finds `bootDevices` on the bus and talks to the scripted boot device.
    std::unique_ptr<UpgradePrinter_ModeU6> Driver(std::vector<std::string> bootDevices = {"10c4|eac9|SL1"}) {
        auto driver = std::make_unique<UpgradePrinter_ModeU6>(UpgradePrinter::kScopeFirmware, 1);
        driver->SetHidPortMaker([this](int) { return std::make_unique<ScriptedHidPort>(hid); });
        driver->SetBootDeviceLister([bootDevices](const char*) { return bootDevices; });
        return driver;
    }
    bool Upgrade(UpgradePrinter_ModeU6& driver, CommLayer& layer, const Bytes& image) {
        auto psw = Load(Format2(image, 0, 0)); // no banks: the records are the image
        UpgradeDataInfo info = Info("U6");
        PSWComponents components = psw->GetComponents();
        return driver.StartUpgrade_PSW2(info, layer, *psw, settings, nullptr, nullptr, components);
    }
    std::shared_ptr<HidScript> hid = std::make_shared<HidScript>();
};

} // namespace

TEST_F(ModeU6Test, WholeRecordsAreTakenAndOnlyFourAcknowledgingBytesForCommands0x30To0x36Count) {
    EXPECT_EQ(UpgradePrinter_ModeU6::SplitBuffer(kImage.data(), 9),
              (Frames{{0x24, 0x03, 0x31, 0xAA, 0xBB}, {0x24, 0x02, 0x30, 0x00}}));
    const Bytes padded{0x00, 0xFF, 0x24, 0x01, 0x36, 0x0D, 0x0A, 0x24, 0x00};
    EXPECT_EQ(UpgradePrinter_ModeU6::SplitBuffer(padded.data(), 9),
              (Frames{{0x24, 0x01, 0x36}, {0x24, 0x00}}));
    // The length byte of the last record says 3 more bytes, 2 are there; a lone marker at the end.
    EXPECT_EQ(UpgradePrinter_ModeU6::SplitBuffer(kImage.data(), 8), std::nullopt);
    EXPECT_EQ(UpgradePrinter_ModeU6::SplitBuffer(kImage.data(), 6), std::nullopt);

    EXPECT_TRUE(UpgradePrinter_ModeU6::IsSLAnswerACK(0x30, kAck.data(), 4));
    EXPECT_TRUE(UpgradePrinter_ModeU6::IsSLAnswerACK(0x36, kAck.data(), 4));
    EXPECT_FALSE(UpgradePrinter_ModeU6::IsSLAnswerACK(0x37, kAck.data(), 4));
    EXPECT_FALSE(UpgradePrinter_ModeU6::IsSLAnswerACK(0x33, kAck.data(), 3));
    const Bytes nak{0x40, 0x00, 0x00, 0x01};
    EXPECT_FALSE(UpgradePrinter_ModeU6::IsSLAnswerACK(0x33, nak.data(), 4));
}

// Beside a USB printer (whose whole run the end-to-end suite follows), a serial line passes only when
// it is a USB virtual COM port; the boot device found is opened by its serial number and closed after.
TEST_F(ModeU6Test, ASerialLinePassesOnlyAsAVirtualComPort) {
    for (bool isVirtual : {false, true}) {
        script = std::make_shared<RigScript>();
        hid = std::make_shared<HidScript>();
        CommLayer serial([this, isVirtual](CommPortType k) -> std::unique_ptr<ComPort> {
            if (isVirtual)
                return std::make_unique<VirtualSerialPort>(script, k);
            return std::make_unique<RigPort>(script, k);
        });
        serial.Open(COMM_SERIAL, "/dev/ttyACM0", 115200, 0, 700);
        script->ReplyTo(B(Commands::Cmd_CommandGetGSI), {Bytes{0x42}});
        script->ReplyTo(B(Commands::Cmd_CommandGetFWREL), {PortScript::Of("1.00")});
        EXPECT_EQ(Upgrade(*Driver(), serial, kImage), isVirtual);
        EXPECT_EQ(hid->writes.size(), isVirtual ? 2u : 0u);
        EXPECT_EQ(hid->closes, isVirtual ? 1 : 0);
        if (isVirtual) {
            EXPECT_THAT(hid->ids, ElementsAre("10c4", "eac9", "SL1"));
        }
    }
}

TEST_F(ModeU6Test, FailuresEndTheUpgradeWithTheBootDevicesPortClosed) {
    auto layer = OpenPrinter(COMM_USB_PRN);
    EXPECT_FALSE(Upgrade(*Driver({}), *layer, kImage)); // the boot device never appears
    EXPECT_TRUE(Wrote(Bytes{0x1C, 0xEE}));
    EXPECT_EQ(hid->opens, 0);

    // Truncated or record-less images are refused before the printer leaves for its boot loader.
    for (const Bytes& image : {Bytes{0x24, 0x05, 0x31, 0xAA}, Bytes{0x01, 0x02}, Bytes{0x24, 0x00}}) {
        layer = OpenPrinter(COMM_USB_PRN);
        EXPECT_FALSE(Upgrade(*Driver(), *layer, image));
        EXPECT_TRUE(script->writes.empty());
    }

    const Bytes three{0x24, 0x01, 0x31, 0x24, 0x01, 0x32, 0x24, 0x01, 0x33};
    for (const Bytes& answer : {Bytes{0x40, 0x00, 0x00}, Bytes{}, Bytes{0x40, 0x00, 0x00, 0x00, 0x00}}) {
        hid = std::make_shared<HidScript>();
        hid->answers = {kAck, answer};
        auto psw = Load(Format2(three, 0, 0));
        EXPECT_FALSE(Driver()->StartUpgradeUsb(*layer, "10c4|eac9|", *psw));
        EXPECT_EQ(hid->writes.size(), 2u); // no retry of a rejected record, nothing after it
        EXPECT_EQ(hid->closes, 1);
    }

    hid = std::make_shared<HidScript>();
    hid->openFailures = 5;
    auto psw = Load(Format2(three, 0, 0));
    EXPECT_FALSE(Driver()->StartUpgradeUsb(*layer, "10c4|eac9|", *psw));
    EXPECT_EQ(hid->opens, 5);
    EXPECT_TRUE(hid->writes.empty());
    hid->openFailures = 4;
    EXPECT_TRUE(Driver()->StartUpgradeUsb(*layer, "10c4|eac9|", *psw));
    EXPECT_EQ(hid->opens, 10);
}

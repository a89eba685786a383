// A printer that leaves the bus and comes back: remembering its port path and finding it there again
// under a new serial number.
#include "comm/CommLayer.h"
#include "tests/transport/usb/UsbFixture.h"

TEST_F(UsbTest, FindsTheRestartedPrinterAtItsSavedLocation) {
    EmulatedUsbDevice& other = testbed->Plug(Printer("CD9", 2)); // same model elsewhere on the bus
    EmulatedUsbDevice& before = testbed->Plug(Printer("AB5", 4));
    ComPortUsbIntPRN port;
    // Nothing saved, no identity to save: both fail without touching USB.
    EXPECT_EQ(port.RestoreAddrNumFrmLocatio(), 0);
    EXPECT_EQ(port.SaveLocationCurrentDevice(), 0);
    EXPECT_EQ(before.OpenCount() + other.OpenCount(), 0);

    ASSERT_EQ(port.OpenUsb(vid.c_str(), "0101", "AB5", true), 0);
    ASSERT_EQ(port.SaveLocationCurrentDevice(), 1);
    port.Close();
    testbed->Unplug(before);
    EmulatedUsbDevice& after = testbed->Plug(Printer("AB8", 4));
    ASSERT_EQ(port.RestoreAddrNumFrmLocatio(), 1);
    EXPECT_EQ(port.GetAddress(), "8");
    ASSERT_EQ(port.ReOpen(), 1);
    EXPECT_TRUE(after.Claimed(0));

    // Nothing at the saved place any more: the identity stays as it was.
    port.Close();
    testbed->Unplug(after);
    testbed->Plug(Printer("AB6", 3));
    EXPECT_EQ(port.RestoreAddrNumFrmLocatio(), 0);
    EXPECT_EQ(port.GetAddress(), "8");
}

// The frame layer replaces its port on every re-open; the remembered place must survive that, and
// re-opens (and a backed-up name) must follow the printer to its new serial number.
TEST_F(UsbTest, TheFrameLayerFollowsTheRestartedPrinterAcrossReopens) {
    testbed->Plug(Printer("CD9", 2));
    EmulatedUsbDevice& before = testbed->Plug(Printer("AB5", 4));
    CommLayer comm;
    const std::string name = vid + "|0101|AB5";
    comm.Open(COMM_USB_PRN, name.c_str(), 0, 0, 1000);
    EXPECT_FALSE(comm.RestoreUsbLocation()); // nothing saved yet
    ASSERT_TRUE(comm.SaveUsbLocation());
    ASSERT_TRUE(comm.BackupPortInfo());
    comm.Close();

    testbed->Unplug(before);
    EmulatedUsbDevice& after = testbed->Plug(Printer("AB8", 4));
    EXPECT_FALSE(comm.ReOpenNoException()); // the old serial number is gone
    ASSERT_TRUE(comm.RestoreUsbLocation());
    ASSERT_TRUE(comm.ReOpenNoException());
    EXPECT_TRUE(after.Claimed(0));

    comm.RestoreportInfo();
    ASSERT_TRUE(comm.ReOpenNoException());
    EXPECT_TRUE(after.Claimed(0));
    EXPECT_EQ(comm.GetStoredDeviceName().substr(comm.GetStoredDeviceName().rfind('|')), "|AB8");
}

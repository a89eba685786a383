// The simulator's printer as ordinary host tools see it: endpoint 0 answers the standard requests a tool
// like lsusb makes and stalls the rest, the strings name maker and product, and sysfs attributes end
// in a newline as the kernel's do; and string descriptors carry any profile text.
#include "sim/UsbTransport.h"
#include "sim/usb/UsbDescriptors.h"
#include "sim/usb/UsbTestbed.h"

#include <gtest/gtest.h>
#include <libusb.h>

#include <fstream>
#include <iterator>

TEST(UsbEndpointZero, StandardRequestsAreAnsweredTheRestStallsAndSysfsEndsLinesAsTheKernel) {
    if (!sim::UsbTestbed::InMockEnvironment())
        GTEST_SKIP() << "needs umockdev's preload: run under umockdev-wrapper";
    const sim::UsbSection usb;
    sim::UsbLink link(usb, "Ticket Printer 80");
    libusb_context* context = nullptr;
    ASSERT_EQ(libusb_init(&context), 0);
    libusb_device_handle* h = libusb_open_device_with_vid_pid(context, static_cast<uint16_t>(usb.vid),
                                                              static_cast<uint16_t>(usb.pid));
    ASSERT_NE(h, nullptr);
    unsigned char b[256] = {1, 1};
    EXPECT_EQ(libusb_control_transfer(h, 0x80, LIBUSB_REQUEST_GET_STATUS, 0, 0, b, 2, 1000), 2);
    EXPECT_EQ(b[0] | b[1], 0); // bus powered, no remote wake-up
    EXPECT_EQ(libusb_control_transfer(h, 0x82, LIBUSB_REQUEST_GET_STATUS, 0, 0x81, b, 2, 1000), 2);
    EXPECT_EQ(libusb_control_transfer(h, 0x82, LIBUSB_REQUEST_GET_STATUS, 0, 0x83, b, 2, 1000),
              LIBUSB_ERROR_PIPE); // no such endpoint
    EXPECT_EQ(libusb_control_transfer(h, 0x81, LIBUSB_REQUEST_GET_INTERFACE, 0, 0, b, 1, 1000), 1);
    EXPECT_EQ(libusb_get_descriptor(h, 0x06, 0, b, 10), LIBUSB_ERROR_PIPE); // full speed: no qualifier
    // Cut to 9 bytes, the configuration still states its whole length, which a full read gives.
    ASSERT_EQ(libusb_get_descriptor(h, LIBUSB_DT_CONFIG, 0, b, 9), 9);
    EXPECT_EQ(libusb_get_descriptor(h, LIBUSB_DT_CONFIG, 0, b, sizeof b), b[2] | b[3] << 8);

    libusb_device_descriptor d{};
    ASSERT_EQ(libusb_get_device_descriptor(libusb_get_device(h), &d), 0);
    for (auto [index, text] : {std::pair{d.iManufacturer, std::string(sim::UsbLink::kManufacturer)},
                               {d.iProduct, "Ticket Printer 80"},
                               {d.iSerialNumber, *usb.serial}}) {
        const int n = libusb_get_string_descriptor_ascii(h, index, b, sizeof b);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(b), static_cast<size_t>(std::max(n, 0))), text);
    }
    libusb_close(h);
    libusb_exit(context);

    const std::string dir = "/sys/bus/usb/devices/1-1/"; // bus 1, port 1 of its root hub
    for (auto [attribute, text] :
         {std::pair{"serial", *usb.serial}, {"product", "Ticket Printer 80"}, {"bConfigurationValue", "1"}}) {
        std::ifstream in(dir + attribute, std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), text + "\n") << attribute;
    }
}

// Profile texts are any bytes: the descriptor carries them as UTF-16, as much as fits, and sysfs shows
// what the descriptor carries.
TEST(UsbStringDescriptor, CarriesAnyTextAsUtf16AsFarAsItFits) {
    using sim::usbdesc::DescriptorText;
    EXPECT_EQ(sim::usbdesc::StringDescriptor("\xC3\xBC\xF0\x9D\x84\x9E"), // ü and U+1D11E, a pair
              (std::vector<uint8_t>{8, 3, 0xFC, 0x00, 0x34, 0xD8, 0x1E, 0xDD}));
    // A stray byte, an overlong form and an encoded surrogate each read as U+FFFD per byte.
    EXPECT_EQ(DescriptorText("a\xFF"
                             "b\xC0\xAF"
                             "c\xED\xA0\x80"),
              "a\uFFFD"
              "b\uFFFD\uFFFD"
              "c\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(DescriptorText(std::string(300, 'x')), std::string(126, 'x')); // bLength is one byte
    // A pair that would not fit whole is left out rather than cut in half.
    EXPECT_EQ(DescriptorText(std::string(125, 'x') + "\xF0\x9D\x84\x9E"), std::string(125, 'x'));
}

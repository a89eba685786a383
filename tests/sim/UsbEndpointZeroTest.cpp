// The simulator's USB devices as ordinary host tools see them: endpoint 0 answers the standard requests
// a tool like lsusb makes and stalls the rest, the printer and the boot loaders name their maker and
// product, the strings survive any profile text, and sysfs attributes end in a newline as the
// kernel's do.
#include "sim/UsbTransport.h"
#include "sim/usb/UsbDescriptors.h"
#include "sim/usb/UsbTestbed.h"

#include <gtest/gtest.h>
#include <libusb.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>

namespace {

struct ContextDeleter {
    void operator()(libusb_context* c) const { libusb_exit(c); }
};
struct HandleDeleter {
    void operator()(libusb_device_handle* h) const { libusb_close(h); }
};

class UsbEndpointZero : public ::testing::Test {
protected:
    void SetUp() override {
        if (!sim::UsbTestbed::InMockEnvironment())
            GTEST_SKIP() << "needs umockdev's preload: run under umockdev-wrapper";
        link = std::make_unique<sim::UsbLink>(usb, "Ticket Printer 80");
    }

    // A fresh libusb context: it lists the bus as it is now.
    libusb_device_handle* Open(uint16_t vid, uint16_t pid) {
        libusb_context* context = nullptr;
        EXPECT_EQ(libusb_init(&context), 0);
        m_context.reset(context);
        m_handle.reset(libusb_open_device_with_vid_pid(context, vid, pid));
        return m_handle.get();
    }
    libusb_device_handle* Handle() const { return m_handle.get(); }
    std::string Ascii(uint8_t index) {
        unsigned char text[256] = {};
        const int n = libusb_get_string_descriptor_ascii(m_handle.get(), index, text, sizeof text);
        return n < 0 ? "<" + std::string(libusb_error_name(n)) + ">"
                     : std::string(reinterpret_cast<char*>(text), static_cast<size_t>(n));
    }
    // The result of an IN request with room for `length` bytes: the answer, or the libusb error.
    std::string In(uint8_t type, uint8_t request, uint16_t value, uint16_t index, uint16_t length) {
        std::vector<unsigned char> data(length);
        const int n =
            libusb_control_transfer(m_handle.get(), type, request, value, index, data.data(), length, 1000);
        if (n < 0)
            return libusb_error_name(n);
        std::string hex;
        for (int i = 0; i < n; ++i) {
            char byte[4];
            std::snprintf(byte, sizeof byte, "%02x", data[static_cast<size_t>(i)]);
            hex += byte;
        }
        return hex;
    }

    sim::UsbSection usb;
    std::unique_ptr<sim::UsbLink> link;

private:
    std::unique_ptr<libusb_context, ContextDeleter> m_context;
    std::unique_ptr<libusb_device_handle, HandleDeleter> m_handle;
};

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

TEST_F(UsbEndpointZero, StandardRequestsAreAnsweredAndTheRestStalls) {
    ASSERT_NE(Open(static_cast<uint16_t>(usb.vid), static_cast<uint16_t>(usb.pid)), nullptr);
    const std::string stall = "LIBUSB_ERROR_PIPE";
    EXPECT_EQ(In(0x80, LIBUSB_REQUEST_GET_STATUS, 0, 0, 2), "0000"); // bus powered, no remote wake-up
    EXPECT_EQ(In(0x81, LIBUSB_REQUEST_GET_STATUS, 0, 0, 2), "0000");
    EXPECT_EQ(In(0x81, LIBUSB_REQUEST_GET_STATUS, 0, 1, 2), stall); // no interface 1
    EXPECT_EQ(In(0x82, LIBUSB_REQUEST_GET_STATUS, 0, 0x81, 2), "0000");
    EXPECT_EQ(In(0x82, LIBUSB_REQUEST_GET_STATUS, 0, 0x83, 2), stall); // no such endpoint
    EXPECT_EQ(In(0x80, LIBUSB_REQUEST_GET_CONFIGURATION, 0, 0, 1), "01");
    EXPECT_EQ(In(0x81, LIBUSB_REQUEST_GET_INTERFACE, 0, 0, 1), "00");
    EXPECT_EQ(In(0x80, LIBUSB_REQUEST_GET_DESCRIPTOR, LIBUSB_DT_DEVICE << 8, 0, 64).size(), 36u);
    EXPECT_EQ(In(0x80, LIBUSB_REQUEST_GET_DESCRIPTOR, 0x0600, 0, 10), stall); // full speed: no qualifier
    EXPECT_EQ(In(0x80, LIBUSB_REQUEST_GET_DESCRIPTOR, LIBUSB_DT_BOS << 8, 0, 5), stall);
    EXPECT_EQ(In(0x80, LIBUSB_REQUEST_GET_DESCRIPTOR, 0x0300, 0, 255), "04030904"); // US English
    EXPECT_EQ(In(0x80, LIBUSB_REQUEST_GET_DESCRIPTOR, 0x0309, 0x0409, 255), stall);
    EXPECT_EQ(In(0xA1, 0, 0, 0, 64), stall); // class requests are not the printer's business here

    // The configuration cut to its first 9 bytes, whose total length is then what a full read gives.
    const std::string head = In(0x80, LIBUSB_REQUEST_GET_DESCRIPTOR, LIBUSB_DT_CONFIG << 8, 0, 9);
    ASSERT_EQ(head.size(), 18u) << head;
    const auto total = static_cast<uint16_t>(std::stoul(head.substr(6, 2) + head.substr(4, 2), nullptr, 16));
    EXPECT_EQ(In(0x80, LIBUSB_REQUEST_GET_DESCRIPTOR, LIBUSB_DT_CONFIG << 8, 0, 512).size(), 2u * total);

    libusb_device_descriptor d{};
    ASSERT_EQ(libusb_get_device_descriptor(libusb_get_device(Handle()), &d), 0);
    EXPECT_EQ(Ascii(d.iManufacturer), sim::UsbLink::kManufacturer);
    EXPECT_EQ(Ascii(d.iProduct), "Ticket Printer 80");
    EXPECT_EQ(Ascii(d.iSerialNumber), *usb.serial);
    EXPECT_EQ(libusb_claim_interface(Handle(), 0), 0);
    EXPECT_EQ(libusb_set_interface_alt_setting(Handle(), 0, 0), 0);
    EXPECT_NE(libusb_set_interface_alt_setting(Handle(), 0, 1), 0);
}

TEST_F(UsbEndpointZero, SysfsAttributesEndInANewlineAsTheKernelWritesThem) {
    const std::string dir = "/sys/bus/usb/devices/1-1/"; // bus 1, port 1 of its root hub
    char vid[8];
    std::snprintf(vid, sizeof vid, "%04x\n", usb.vid);
    EXPECT_EQ(ReadFile(dir + "idVendor"), vid);
    EXPECT_EQ(ReadFile(dir + "serial"), *usb.serial + "\n");
    EXPECT_EQ(ReadFile(dir + "manufacturer"), std::string(sim::UsbLink::kManufacturer) + "\n");
    EXPECT_EQ(ReadFile(dir + "product"), "Ticket Printer 80\n");
    EXPECT_EQ(ReadFile(dir + "bConfigurationValue"), "1\n");
}

TEST_F(UsbEndpointZero, ABootLoaderInThePrintersPlaceNamesItself) {
    sim::BootIdentity boot;
    boot.vid = 0x045B;
    boot.pid = 0x0025;
    boot.manufacturer = "Loader Maker";
    boot.product = "Loader";
    link->Unplug();
    link->PlugBootDevice(boot);
    ASSERT_NE(Open(boot.vid, boot.pid), nullptr);
    libusb_device_descriptor d{};
    ASSERT_EQ(libusb_get_device_descriptor(libusb_get_device(Handle()), &d), 0);
    EXPECT_EQ(Ascii(d.iManufacturer), "Loader Maker");
    EXPECT_EQ(Ascii(d.iProduct), "Loader");
    EXPECT_EQ(d.iSerialNumber, 0); // this one has no serial number
    EXPECT_EQ(In(0x80, LIBUSB_REQUEST_GET_STATUS, 0, 0, 2), "0000");
}

// Profile texts are any bytes: the descriptor carries them as UTF-16, as much as fits, and sysfs shows
// what the descriptor carries.
TEST(UsbStringDescriptor, CarriesAnyTextAsUtf16AsFarAsItFits) {
    using sim::usbdesc::DescriptorText;
    using sim::usbdesc::StringDescriptor;
    EXPECT_EQ(StringDescriptor("\xC3\xBC\xF0\x9D\x84\x9E"), // ü and U+1D11E (a surrogate pair)
              (std::vector<uint8_t>{8, 3, 0xFC, 0x00, 0x34, 0xD8, 0x1E, 0xDD}));
    EXPECT_EQ(DescriptorText("\xC3\xBC\xF0\x9D\x84\x9E"), "\xC3\xBC\xF0\x9D\x84\x9E");
    // A stray byte, an overlong form and an encoded surrogate each read as U+FFFD per byte.
    EXPECT_EQ(DescriptorText("a\xFF"
                             "b\xC0\xAF"
                             "c\xED\xA0\x80"),
              "a\uFFFD"
              "b\uFFFD\uFFFD"
              "c\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(StringDescriptor(std::string(300, 'x')).size(), 254u); // 126 units, bLength fits a byte
    EXPECT_EQ(DescriptorText(std::string(300, 'x')), std::string(126, 'x'));
    // A pair that would not fit whole is left out rather than cut in half.
    EXPECT_EQ(DescriptorText(std::string(125, 'x') + "\xF0\x9D\x84\x9E"), std::string(125, 'x'));
}

// The USB link of a build without umockdev: --usb is refused with the reason.
#include "sim/TcpTransport.h"
#include "sim/UsbTransport.h"

namespace sim {

struct UsbLink::Impl {};

UsbLink::UsbLink(const UsbSection&, const std::string&) {
    throw TransportError("usb: this simulator was built without umockdev (libumockdev-dev)");
}

UsbLink::~UsbLink() = default;
int UsbLink::Fd() const {
    return -1;
}
long UsbLink::ReadSome(uint8_t*, size_t) {
    return -1;
}
bool UsbLink::WriteAll(const uint8_t*, size_t) {
    return false;
}
std::optional<std::string> UsbLink::NextEvent() {
    return std::nullopt;
}
void UsbLink::Unplug() {}
void UsbLink::Replug() {}
void UsbLink::PlugBootDevice(const BootIdentity&) {}
bool UsbLink::Plugged() const {
    return false;
}
bool UsbLink::AnswerWaiting() const {
    return false;
}
int UsbLink::HostsOpen() const {
    return 0;
}
std::string UsbLink::DeviceName() const {
    return {};
}
std::string UsbLink::RootDir() const {
    return {};
}
std::string UsbLink::DevNode() const {
    return {};
}

} // namespace sim

// Discovery answers come from anyone on the local network: parse arbitrary datagrams, record them and
// build the listing, checking that a name never breaks a listing line nor the listing its buffer.
#include "transport/EthDiscovery.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::optional<std::string> name = EthDiscovery::ParseAnswer(data, size);
    if (name && (name->size() > ETHDeviceStruct::kTextLimit || name->find('\n') != std::string::npos))
        abort();

    // The input also stands for a run of datagrams from a few senders.
    EthDiscovery::DeviceTable table;
    size_t offset = 0;
    for (int sender = 0; offset < size && sender < 200; ++sender) {
        const size_t length = std::min<size_t>(size - offset, 1 + data[offset] * 4u);
        table.Record("10.0." + std::to_string(sender % 3) + "." + std::to_string(sender), data + offset,
                     length);
        offset += length;
    }
    if (table.Devices().size() > EthDiscovery::kMaxDevices)
        abort();
    const size_t capacity = size > 0 ? 64 + data[0] * 16u : EthDiscovery::kListingSize;
    std::string listing;
    table.AppendListing(listing, capacity);
    if (listing.size() + 1 > capacity || (!listing.empty() && listing.back() != '\n'))
        abort();
    return 0;
}

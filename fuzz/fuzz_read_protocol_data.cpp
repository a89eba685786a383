// Answer collection over a port whose reads the fuzzer chooses: each chunk is a length byte (0 is an
// empty read) followed by that many bytes.
#include "comm/CommLayer.h"
#include "tests/support/ScriptedPort.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto script = std::make_shared<PortScript>();
    CommLayer layer([script](CommPortType) { return std::make_unique<ScriptedPort>(script); });
    layer.Open(COMM_USB_PRN, "1|2|3", 0, 0, 0);
    for (size_t at = 0; at < size;) {
        size_t length = data[at];
        ++at;
        length = std::min(length, size - at);
        script->QueueRead(PortScript::Bytes(data + at, data + at + length));
        at += length;
    }
    while (!script->reads.empty()) {
        std::optional<std::vector<uint8_t>> answer = layer.ReadProtocolData();
        if (answer && answer->empty())
            __builtin_trap(); // a complete answer holds at least its ETX
    }
    return 0;
}

// The option scanner on arbitrary argument vectors: NUL bytes separate the arguments.
#include "app/CmdLineOperations.h"
#include "app/CmdLineOptions.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> args{"dalvora"};
    std::string current;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            args.push_back(current);
            current.clear();
        } else {
            current.push_back(static_cast<char>(data[i]));
        }
    }
    args.push_back(current);
    std::vector<const char*> argv;
    for (const std::string& arg : args)
        argv.push_back(arg.c_str());
    CmdLineOptions opts;
    ScanCmdlineArgs(static_cast<int>(argv.size()), argv.data(), opts);
    FormatArgsSummary(opts);
    ChooseOperation(opts);
    return 0;
}

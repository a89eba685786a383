#include "tests/support/ProcessRunner.h"
#include "tests/support/BackgroundProcess.h"

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const ProcessOptions& options) {
    std::vector<std::string> env;
    for (const auto& [name, value] : options.env)
        env.push_back(name + "=" + value);
    BackgroundProcess process(program, args, env, true);
    if (!process.Started())
        return {};
    return process.Finish(options.timeoutMs);
}

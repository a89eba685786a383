#include "tests/support/ProcessRunner.h"
#include "tests/support/BackgroundProcess.h"

#include <cstdlib>

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const ProcessOptions& options) {
    std::vector<std::string> env;
    // A suite run by hand (ctest sets a state directory in the build tree) must not leave audit lines
    // in the user's own state directory.
    if (std::getenv("XDG_STATE_HOME") == nullptr)
        env.push_back("XDG_STATE_HOME=/tmp/dalvora-test-state");
    for (const auto& [name, value] : options.env)
        env.push_back(name + "=" + value);
    BackgroundProcess process(program, args, env, true);
    if (!process.Started())
        return {};
    return process.Finish(options.timeoutMs);
}

// dalvoractl's command line: the subcommands and their options (CLI11), the printers from the
// arguments and the inventory, then the subcommand's run.
#pragma once

#include <ostream>

namespace ctl {

// The exit status.
int RunDalvoractl(int argc, char** argv, std::ostream& out, std::ostream& err);

} // namespace ctl

// Entry point: an operation option runs one command-line operation and exits; anything else opens the
// window.
#include "app/CmdLineOptions.h"
#include "gui/WindowedApplication.h"

int main(int argc, char** argv) {
    if (parse_cmdline_args(argc, argv) != 0)
        return 0;
    return RunWindowedApplication(argc, argv);
}

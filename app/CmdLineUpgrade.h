// The --upgrade operation: a module file or a firmware package sent to one printer, with the -c
// component choice, the session error turned into an exit status, and Ctrl-C handled so that an image
// transfer that has begun is finished rather than cut off.
#pragma once

#include "app/CmdLineOptions.h"

#include <string>

class PSWFile;
class PSWComponents;

// The components named by the -c letters (S firmware, F fonts, L logos, D flash disk, O other modules;
// any order, other characters ignored), each module taken as after-module when the package has that
// kind, else as before-module. 0 with the list, or the exit status of the refusal after its message.
int SelectUpgradeComponents(const PSWFile& package, const std::string& letters, PSWComponents& chosen);

// The exit status for the session error of a failed upgrade (`module`: a module file was sent).
int UpgradeExitStatus(int sessionError, bool module);

// Runs --upgrade and returns its exit status after printing its messages.
int RunUpgrade(const CmdLineOptions& opts);

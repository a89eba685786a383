// Start-up of the windowed mode: application object, translation, main window, event loop.
#pragma once

// Returns the event loop's result.
int RunWindowedApplication(int argc, char** argv);

// Test hook: when set to a number of milliseconds, the window closes itself after that time and
// writes its title on standard error, so tests can see that the windowed mode really started.
inline constexpr const char* kQuitAfterVariable = "DALVORA_TESTONLY_QUIT_AFTER_MS";

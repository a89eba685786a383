// The user's home directory replaced by an empty temporary one, for tests of what the program writes
// there: the program still finds its home through the password database, but what it writes lands in
// the test's directory, and the real home is never touched. Needs root (a private mount namespace).
#pragma once

#include <string>
#include <vector>

// Empty when a private home can be made here, else the reason it cannot.
std::string PrivateHomeUnavailableReason();

// Puts this process into a private mount namespace with `directory` mounted over the home directory.
// For a test process of its own (each test case runs in its own process under ctest). False with
// `error` set when that fails.
bool MountPrivateHome(const std::string& directory, std::string& error);

inline constexpr const char* kUnshareProgram = "/usr/bin/unshare";

// The arguments of kUnshareProgram that run program with args in a private mount namespace with
// `directory` mounted over the home directory.
std::vector<std::string> InPrivateHome(const std::string& directory, const std::string& program,
                                       const std::vector<std::string>& args);

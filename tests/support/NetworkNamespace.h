// Network namespaces made by a test (and always removed again), and threads that run inside them.
// Everything that broadcasts runs in such a namespace, never in the machine's own.
#pragma once

#include <functional>
#include <string>
#include <vector>

class NetworkNamespace {
public:
    // Creates "dlv<pid><suffix>" with its loopback up; Valid() tells whether that worked.
    explicit NetworkNamespace(const std::string& suffix);
    ~NetworkNamespace();
    NetworkNamespace(const NetworkNamespace&) = delete;
    NetworkNamespace& operator=(const NetworkNamespace&) = delete;

    bool Valid() const { return m_valid; }
    const std::string& Name() const { return m_name; }
    const std::string& Error() const { return m_error; }

    // Runs `ip -n <name> <args>`; false (and Error() set) when it fails.
    bool Ip(const std::vector<std::string>& args);
    // Runs `ip -n <name> -batch FILE` with the given commands, one a line.
    bool IpBatch(const std::vector<std::string>& commands);

    // Runs fn on a fresh thread that has entered this namespace, and waits for it. fn does not run
    // (and the result is false) unless the thread is verifiably inside the namespace.
    bool Run(const std::function<void()>& fn) const;

    // Path of the `ip` program, empty when there is none.
    static std::string IpProgram();
    // Removes namespaces left behind by earlier runs whose process is gone.
    static void RemoveStale();
    // Why namespaces cannot be made here, empty when they can.
    static std::string Unavailable();

private:
    std::string m_name;
    std::string m_error;
    bool m_valid = false;
};

// Name of one end ('a' or 'b') of the veth pair that JoinWithVeth makes.
std::string VethName(char end);

// A veth pair joining two namespaces, with an address (and its broadcast) on each end.
bool JoinWithVeth(NetworkNamespace& a, const std::string& addressA, NetworkNamespace& b,
                  const std::string& addressB, std::string& error);

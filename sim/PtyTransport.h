// The printer's serial line: a pseudo-terminal pair whose slave is offered to the host through a
// symlink. The printer understands the host only when the host has set the line to the printer's baud
// rate, which is read back from the slave's terminal settings, so a search across rates is real.
#pragma once

#include "sim/Transport.h"

#include <string>

namespace sim {

class PtyLink final : public Link {
public:
    // Creates the pair and the symlink at `linkPath` (an existing symlink is replaced); throws
    // TransportError (TcpTransport.h).
    PtyLink(const std::string& linkPath, uint32_t baud);
    ~PtyLink() override;

    int Fd() const override { return m_master; }
    long ReadSome(uint8_t* buffer, size_t capacity) override;
    bool WriteAll(const uint8_t* data, size_t length) override;
    bool Understands(std::string& why) override;
    bool CanDrop() const override { return false; }
    std::string Via() const override { return "pty"; }

    [[nodiscard]] const std::string& SlaveName() const { return m_slaveName; }
    // The rate the host set on the line, 0 when it is not one of the standard rates.
    [[nodiscard]] uint32_t HostBaud() const;

private:
    int m_master = -1;
    int m_slave = -1; // held open so the pair outlives the host's closes, and to read the settings
    std::string m_slaveName;
    std::string m_linkPath;
    uint32_t m_baud;
};

} // namespace sim

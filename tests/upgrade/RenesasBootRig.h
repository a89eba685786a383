// A scripted Renesas boot loader behind the upgrade rig's printer: the printer answers USB Boot Direct
// with "BOOT_RST", and once the port is opened on the boot device every command gets the loader's
// answer by its first byte. Frames are answered from a queue (0x06 when it is empty).
#pragma once

#include "UpgradeRig.h"

#include "upgrade/UpgradeModeU2U4.h"

#include <deque>
#include <map>

struct BootScript : RigScript {
    bool inBoot = false;
    bool newLoader = false;
    bool dataAreaChecked = false;
    std::string release = "1.00";
    uint16_t programmingSize = 128;
    std::map<uint8_t, Bytes> override; // answers replacing the loader's own, by command byte
    std::deque<Bytes> frameAnswers;
    std::vector<Bytes> bootWrites; // what the boot device received, in order
    int failCommand = -1;          // writes of the command with this first byte fail

    Bytes Answer(const Bytes& command) {
        if (auto it = override.find(command[0]); it != override.end())
            return it->second;
        switch (command[0]) {
        case 0x55:
            return {0xE6};
        case 0x32:
            return PortScript::Of(release);
        case 0x33:
            return {static_cast<uint8_t>(newLoader ? 0x15 : 0x06)};
        case 0x27:
            return {0x37, 0x02, static_cast<uint8_t>(programmingSize >> 8),
                    static_cast<uint8_t>(programmingSize), 0};
        case 0x25:
            return {0x35, 0x0A, 0x01, 0xFF, 0xF0, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0};
        case 0x4F:
            return {0x5F, 0x02, 0x3F, static_cast<uint8_t>(newLoader && dataAreaChecked ? 0x52 : 0x00), 0};
        case 0x62:
            dataAreaChecked = true;
            return newLoader ? Bytes{0x06, 0x52} : Bytes{0x06};
        case 0x31:
            return {0x52};
        case 0x50:
            if (command.size() > 6 && !frameAnswers.empty()) {
                Bytes answer = frameAnswers.front();
                frameAnswers.pop_front();
                return answer;
            }
            return {0x06};
        default:
            return {0x06};
        }
    }
};

class BootRigPort : public RigPort {
public:
    BootRigPort(std::shared_ptr<BootScript> script, CommPortType kind)
        : RigPort(script, kind), m_boot(script) {}
    int InitWithVid(const char* vid, const char* pid, const char* serial) override {
        m_boot->opens.push_back({"boot", vid, pid, serial});
        m_boot->inBoot = true;
        return 1;
    }
    int Open() override { return 1; }
    unsigned Write(const unsigned char* buf, unsigned len, unsigned* error) override {
        if (!m_boot->inBoot)
            return RigPort::Write(buf, len, error);
        if (len > 0 && buf[0] == m_boot->failCommand) {
            *error = 1;
            return 0;
        }
        const unsigned written = ScriptedPort::Write(buf, len, error);
        m_boot->bootWrites.push_back(m_boot->writes.back());
        m_boot->QueueRead(m_boot->Answer(m_boot->writes.back()));
        return written;
    }

private:
    std::shared_ptr<BootScript> m_boot;
};

// A mode whose bus holds the one boot device.
template <typename Mode> class OnScriptedBus : public Mode {
public:
    OnScriptedBus(int scopeMask, int timeMultiplier) : Mode(scopeMask, timeMultiplier) {
        this->SetBootDeviceLister([](const char*) { return std::vector<std::string>{"045b|0b5a|RB1"}; });
    }
};

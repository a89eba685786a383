// A printer on a scripted port for the upgrade tests: the port kind and packet size of a real port,
// the handshake answered, a stop request fired at a chosen write, packages built by the fixture writer.
#pragma once

#include "base/Clock.h"
#include "comm/CommLayer.h"
#include "comm/Commands.h"
#include "firmware/PSWFile.h"
#include "model/InfoRecords.h"
#include "tests/support/ScriptedPort.h"
#include "tools/Fixtures.h"
#include "transport/CommPortSettings.h"
#include "upgrade/UpgradeStop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

using Bytes = PortScript::Bytes;

template <typename Command> Bytes B(const Command& command) {
    return Bytes(command.begin(), command.end());
}

struct RigScript : PortScript {
    Bytes stopOnWrite; // RequestUpgradeStop once these bytes have been written
    unsigned packetSize = 1000;
    std::string releaseAfterProgram; // the release the printer reports once a program command came
};

class RigPort : public ScriptedPort {
public:
    RigPort(std::shared_ptr<RigScript> script, CommPortType kind)
        : ScriptedPort(script), m_rig(std::move(script)) {
        m_portType = kind;
        SetPacketSize(m_rig->packetSize);
    }
    unsigned Write(const unsigned char* buf, unsigned len, unsigned* error) override {
        const unsigned written = ScriptedPort::Write(buf, len, error);
        const bool program = len >= 2 && buf[0] == 0x1C && buf[1] == 0xFF;
        if (program && !m_rig->releaseAfterProgram.empty())
            for (PortScript::Reply& reply : m_rig->replies)
                if (reply.request == B(Commands::Cmd_CommandGetFWREL))
                    reply.chunks = {PortScript::Of(m_rig->releaseAfterProgram)};
        if (!m_rig->stopOnWrite.empty() && m_rig->writes.back() == m_rig->stopOnWrite)
            RequestUpgradeStop();
        return written;
    }

private:
    std::shared_ptr<RigScript> m_rig;
};

class UpgradeRig : public ::testing::Test {
protected:
    void SetUp() override {
        m_savedScale = Clock::Scale();
        Clock::SetScaleForTesting(0.00001);
        ClearUpgradeStop();
    }
    void TearDown() override {
        Clock::SetScaleForTesting(m_savedScale);
        ClearUpgradeStop();
    }

    // An open layer on a printer of `release` that answers the handshake; the writes start empty.
    std::unique_ptr<CommLayer> OpenPrinter(CommPortType kind, const std::string& release = "1.00") {
        auto layer = std::make_unique<CommLayer>([this](CommPortType k) -> std::unique_ptr<ComPort> {
            return std::make_unique<RigPort>(script, k);
        });
        const char* name = kind == COMM_ETHERNET ? "127.0.0.1:9100"
                           : kind == COMM_SERIAL ? "/dev/ttyS9"
                                                 : "0DD4|0195|X1";
        layer->Open(kind, name, 115200, 0, 700);
        script->ReplyTo(B(Commands::Cmd_CommandGetGSI), {Bytes{0x42}});
        script->ReplyTo(B(Commands::Cmd_CommandGetFWREL), {PortScript::Of(release)});
        script->writes.clear();
        script->writeTimeouts.clear();
        return layer;
    }

    // The writes from the first one equal to `from` on.
    std::vector<Bytes> WritesFrom(const Bytes& from) const {
        auto it = std::find(script->writes.begin(), script->writes.end(), from);
        return std::vector<Bytes>(it, script->writes.end());
    }
    bool Wrote(const Bytes& bytes) const { return script->CountWrites(bytes) > 0; }

    // A format-2 package (release 1.23) whose firmware is `numBank` banks of `bankDim` bytes.
    static fixtures::PackageDescription Format2(const Bytes& image, uint16_t numBank, uint32_t bankDim) {
        fixtures::PackageDescription desc = fixtures::StandardPackage(true, {0x11, 0x22});
        fixtures::ModuleSlot software;
        software.kind = 's';
        software.image = image;
        software.numBank = numBank;
        software.bankDim = bankDim;
        desc.slots.push_back(software);
        return desc;
    }
    static void AddModule(fixtures::PackageDescription& desc, char kind, const Bytes& image) {
        fixtures::ModuleSlot module;
        module.kind = kind;
        module.image = image;
        desc.slots.push_back(module);
    }
    static std::unique_ptr<PSWFile> Load(const fixtures::PackageDescription& desc) {
        auto psw = std::make_unique<PSWFile>();
        const Bytes bytes = fixtures::WritePackage(desc);
        EXPECT_TRUE(psw->LoadPSWFromMemory(bytes.data(), static_cast<int>(bytes.size()), true));
        return psw;
    }
    static UpgradeDataInfo Info(const std::string& mode, const std::string& configuration = "1") {
        UpgradeDataInfo info;
        EXPECT_TRUE(info.SetUpgradeMode(mode));
        info.SetUpgradeConfigurationSettings(configuration);
        EXPECT_TRUE(info.SetUpgradeDeviceIDs("1;2;3"));
        return info;
    }

    std::shared_ptr<RigScript> script = std::make_shared<RigScript>();
    CommPortSettings settings;

private:
    double m_savedScale = 1.0;
};

// Upgrade modes U3 and U5: the printer's running firmware takes the image in groups of banks, each
// group a send-banks command, the banks and a program command with sums taken bank by bank. U3 sends
// every bank as one group; U5 sends the three code banks, lets the printer restart, then each
// further bank as a group of its own.
#pragma once

#include "upgrade/UpgradePrinter.h"

#include <vector>

// What U3 and U5 share: the common start of their firmware procedure and the group transfer.
class UpgradePrinter_BankGroups : public UpgradePrinter {
public:
    static constexpr unsigned kGroupPacketSize = 57344;
    using UpgradePrinter::UpgradePrinter;

    [[nodiscard]] bool StartUpgrade_PSW1(UpgradeDataInfo& info, CommLayer& comm, PSWFile& psw,
                                         CommPortSettings& settings, void* user1, void* user2,
                                         PSWComponents& components) override;
    [[nodiscard]] bool StartUpgrade_PSW2(UpgradeDataInfo& info, CommLayer& comm, PSWFile& psw,
                                         CommPortSettings& settings, void* user1, void* user2,
                                         PSWComponents& components) override;

protected:
    [[nodiscard]] bool CheckImageForMode(const FirmwareImage& image, CommLayer& comm) override;
    // Image, re-open, handshake, the printer's release and the release question. Finish when the user
    // kept the printer's release.
    [[nodiscard]] Step CommonStart(CommLayer& comm, const PSWFile& psw, FirmwareImage& image,
                                   bool& sameVersion, const char* handshakeError);
    // Send-banks firstNo..lastNo, the banks (progress lines progressBase+k of progressTotal), program with
    // the sums; the port's packet size and write timeout are widened for the transfer and restored.
    [[nodiscard]] bool SendGroup(CommLayer& comm, const std::vector<const uint8_t*>& banks, int bankSize,
                                 int firstNo, int lastNo, unsigned long sum1, unsigned long sum2,
                                 int progressBase, int progressTotal);
    [[nodiscard]] static bool IsUsb(const CommLayer& comm);
    // The restart wait after a group, spent listening: a printer that refuses the image (a checksum,
    // flash or module error byte) is a failure, never a success. Nothing, or 0xAA, and the full wait
    // passes as before. False after a refusal.
    [[nodiscard]] bool WaitListeningForRefusal(CommLayer& comm, uint32_t waitMs, const char* where);
    // The printer's verdict bytes and their texts (null for success); the first one found decides.
    struct Verdict {
        uint8_t byte;
        const char* text;
    };
    [[nodiscard]] static const Verdict* FirstVerdict(const unsigned char* bytes, int count);
    // Re-opens while the printer restarts: 7 attempts, 5 s × the multiplier apart.
    [[nodiscard]] bool ReOpenAfterRestart(CommLayer& comm);
};

class UpgradePrinter_ModeU3 : public UpgradePrinter_BankGroups {
public:
    // A printer given its own release answers at once and does not restart: a short listen is enough.
    static constexpr uint32_t kSameVersionListenMs = 2000;

    UpgradePrinter_ModeU3(int scopeMask, int timeMultiplier)
        : UpgradePrinter_BankGroups(scopeMask, timeMultiplier) {
        m_upgradeMode = 3;
    }

    [[nodiscard]] bool SendFW(UpgradeDataInfo& info, CommLayer& comm, PSWFile& psw,
                              CommPortSettings& settings, void* user1, void* user2);
    [[nodiscard]] bool SendBankFlashGeneric(CommLayer& comm, std::vector<const uint8_t*>& banks, int bankSize,
                                            unsigned long sum1, unsigned long sum2, bool sameVersion,
                                            void* progress);

protected:
    [[nodiscard]] ModePlan Plan() const override;
    [[nodiscard]] bool SendFirmware(UpgradeDataInfo& info, CommLayer& comm, PSWFile& psw,
                                    CommPortSettings& settings, void* user1, void* user2) override {
        return SendFW(info, comm, psw, settings, user1, user2);
    }
};

class UpgradePrinter_ModeU5 : public UpgradePrinter_BankGroups {
public:
    static constexpr int kCodeBanks = 3;
    static constexpr int kAnswerReadTimeoutMs = 5000;
    static constexpr int kDataAnswerWaitMs = 60000;

    UpgradePrinter_ModeU5(int scopeMask, int timeMultiplier)
        : UpgradePrinter_BankGroups(scopeMask, timeMultiplier) {
        m_upgradeMode = 5;
    }

    [[nodiscard]] bool SendFW(UpgradeDataInfo& info, CommLayer& comm, PSWFile& psw,
                              CommPortSettings& settings, void* user1, void* user2);
    [[nodiscard]] bool SendBankFlashCODE(CommLayer& comm, std::vector<const uint8_t*>& banks, int bankSize,
                                         unsigned long sum1, unsigned long sum2, bool sameVersion,
                                         void* progress);
    [[nodiscard]] bool SendBankFlashDATA(CommLayer& comm, const uint8_t* bank, int bankSize,
                                         unsigned long sum1, unsigned long sum2, bool sameVersion,
                                         void* progress, int bankIndex, int bankCount, bool isLast);

protected:
    [[nodiscard]] ModePlan Plan() const override;
    [[nodiscard]] bool CheckImageForMode(const FirmwareImage& image, CommLayer& comm) override;
    [[nodiscard]] bool SendFirmware(UpgradeDataInfo& info, CommLayer& comm, PSWFile& psw,
                                    CommPortSettings& settings, void* user1, void* user2) override {
        return SendFW(info, comm, psw, settings, user1, user2);
    }

private:
    [[nodiscard]] bool ReOpenForData(CommLayer& comm);
    [[nodiscard]] bool SendDataPart(CommLayer& comm, const FirmwareImage& image, bool sameVersion,
                                    void* progress);
    [[nodiscard]] bool WaitDataAnswer(CommLayer& comm);
};

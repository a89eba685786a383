// Upgrade mode U1: the printer's running firmware takes the whole image as one run of banks after a
// send-banks command, then a program command with the bank range and the two sums over the image.
// The result comes as an answer byte, or (USB without answers, Ethernet) from the printer's restart.
#pragma once

#include "upgrade/UpgradePrinter.h"

class UpgradePrinter_ModeU1 : public UpgradePrinter {
public:
    // Result codes of a bank transfer.
    static constexpr int NO_ERROR_COM = 0;
    static constexpr int ERROR_DEFAULT_CASE = 5;
    static constexpr int ERROR_CECKSUM = 100;
    static constexpr int ERROR_BANK_NOT_DELETED = 101;
    static constexpr int ERROR_BANK_NOT_PROGRAMMED = 102;
    static constexpr int ERROR_BANK_DAMAGED = 110;
    static constexpr int ERROR_COMMAND_TO_SEND_BANK = 111;
    static constexpr int ERROR_BANK_WRITE = 112;
    // The firmware is sent at most this many times; the retry line names the same total.
    static constexpr int kFirmwareAttempts = 3;
    static constexpr int kAnswerWaitMs = 110000;
    static constexpr int kBankWriteTimeoutMs = 2500;
    static constexpr unsigned kBankPacketSize = 48;
    static constexpr int kEthernetPollRounds = 12;

    UpgradePrinter_ModeU1(int scopeMask, int timeMultiplier) : UpgradePrinter(scopeMask, timeMultiplier) {
        m_upgradeMode = 1;
    }

    [[nodiscard]] bool StartUpgrade_PSW1(UpgradeDataInfo& info, CommLayer& comm, PSWFile& psw,
                                         CommPortSettings& settings, void* user1, void* user2,
                                         PSWComponents& components) override;
    [[nodiscard]] bool StartUpgrade_PSW2(UpgradeDataInfo& info, CommLayer& comm, PSWFile& psw,
                                         CommPortSettings& settings, void* user1, void* user2,
                                         PSWComponents& components) override;

    [[nodiscard]] bool SendFW(UpgradeDataInfo& info, CommLayer& comm, PSWFile& psw,
                              CommPortSettings& settings, void* user1, void* user2, int usbProgAnswer);
    [[nodiscard]] bool SendBankFlashBanksNew(CommLayer& comm, const uint8_t* image, int bankSize,
                                             int bankCount, unsigned long sum1, unsigned long sum2,
                                             int firstBank, int& errorCode, const char* packageRelease,
                                             bool sameVersion, int usbProgAnswer, void* progress);

    // The first ";"-separated entry of the printer's configuration text; 1 when absent or not a number.
    [[nodiscard]] static int ParseUsbProgAnswer(const std::string& configuration);
    // The user-facing text for a failed attempt's code.
    [[nodiscard]] static const char* MessageForError(int errorCode);

protected:
    [[nodiscard]] ModePlan Plan() const override;
    [[nodiscard]] bool SendFirmware(UpgradeDataInfo& info, CommLayer& comm, PSWFile& psw,
                                    CommPortSettings& settings, void* user1, void* user2) override;

private:
    [[nodiscard]] bool WriteBanks(CommLayer& comm, const uint8_t* image, int bankSize, int bankCount,
                                  int firstBank, int& errorCode);
    [[nodiscard]] bool ResultWithoutAnswer(CommLayer& comm, bool sameVersion);
    [[nodiscard]] bool ResultByPolling(CommLayer& comm, int& errorCode, const char* packageRelease,
                                       bool sameVersion);
    [[nodiscard]] bool ResultByAnswer(CommLayer& comm, int& errorCode, uint64_t deadline);
    [[nodiscard]] bool SendAttempts(CommLayer& comm, const FirmwareImage& image, bool sameVersion,
                                    int usbProgAnswer, void* progress);

    int m_usbProgAnswer = 1;
};

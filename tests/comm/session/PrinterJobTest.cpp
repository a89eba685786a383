// The job runner and the window's four job bodies against the in-process printer: the result codes the
// command line and the window both rely on, and where a failure is reported.
#include "tests/comm/session/InProcessPrinter.h"

#include "base/Clock.h"
#include "base/VmComLayerException.h"
#include "comm/PrinterJobs.h"
#include "model/PrinterData.h"
#include "model/ProtocolDataAvailable.h"
#include "model/ToolsData.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

namespace {

class Job : public ::testing::Test {
protected:
    void SetUp() override {
        Clock::SetScaleForTesting(0.1);
        data.Init();
    }
    void TearDown() override { Clock::SetScaleForTesting(1.0); }

    PrinterJobOutcome Run(TranscribedPrinter& printer, const PrinterJob::Operation& operation) {
        settings = printer.Settings();
        PrinterJob job(data, settings);
        return job.Run(operation);
    }

    PrinterData data;
    CommPortSettings settings;
};

size_t CountOf(const std::vector<std::string>& requests, const std::string& name) {
    return static_cast<size_t>(std::count(requests.begin(), requests.end(), name));
}

TEST_F(Job, ReadReportsItemsWithBadValuesAsTenThousandPlusTheirCount) {
    sim::Profile profile = ShippedProfile("default");
    profile.items.push_back(NumericItem(950, 42)); // above its maximum
    profile.items.push_back(NumericItem(951, -1)); // below its minimum
    TranscribedPrinter printer(profile);

    const PrinterJobOutcome outcome = Run(printer, printer_jobs::ReadDeviceData);

    EXPECT_FALSE(outcome.Threw());
    EXPECT_EQ(outcome.result, kJobUnreadItemsBase + 2);
    // The tools and status descriptions the default printer offers are read in the same job.
    EXPECT_TRUE(data.GetToolsData().IsRequestedToolSupported(1, 0x10));
    EXPECT_NE(data.GetStatusInfoGenData(), nullptr);
}

TEST_F(Job, FailureInsideTheOperationIsItsCodeAndKeepsWhatWasRead) {
    TranscribedPrinter printer(ShippedProfile("default"), {"error=C4:05"});

    const PrinterJobOutcome outcome = Run(printer, printer_jobs::ReadDeviceData);

    EXPECT_EQ(outcome.failedAt, PrinterJobOutcome::Stage::Operation);
    EXPECT_EQ(outcome.result, 105);
    EXPECT_TRUE(data.GetGSI().has_value());
    EXPECT_NE(data.GetSetupItemHeader(), nullptr);
}

TEST_F(Job, PrinterThatCannotBeFoundIsSixWithoutRunningTheOperation) {
    TranscribedPrinter printer(ShippedProfile("minimal"), {"silence"});
    bool ran = false;

    const PrinterJobOutcome outcome = Run(printer, [&](PrinterJobSession&) {
        ran = true;
        return kJobSuccess;
    });

    EXPECT_EQ(outcome.failedAt, PrinterJobOutcome::Stage::FindingPrinter);
    EXPECT_EQ(outcome.result, 6);
    EXPECT_FALSE(ran);
}

TEST_F(Job, EveryKindOfExceptionBecomesAResult) {
    TranscribedPrinter printer(ShippedProfile("minimal"));
    const auto throwing = [&](auto exception) {
        return Run(printer, [&](PrinterJobSession&) -> int { throw exception; });
    };

    const PrinterJobOutcome layer = throwing(VmComLayerException(VmComLayerException::kWriteFailed));
    EXPECT_EQ(layer.failedAt, PrinterJobOutcome::Stage::Operation);
    EXPECT_EQ(layer.result, 7);
    EXPECT_EQ(throwing(DalvoraException(38)).result, 38);
    const PrinterJobOutcome other = throwing(std::runtime_error("out of something"));
    EXPECT_TRUE(other.Threw());
    EXPECT_EQ(other.result, kJobUnexpectedFailure);
}

TEST_F(Job, OnlyToolsOfTypeOneRunAndHandTheirAnswerOver) {
    const ToolTag headTest{1, 0x10, "HEAD TEST", 120000};
    for (const int type : {2, 1}) {
        TranscribedPrinter printer(ShippedProfile("default"));
        AnswerRecord answer;

        const PrinterJobOutcome outcome = Run(printer, [&](PrinterJobSession& s) {
            return printer_jobs::ExecOnDevice(s, type, headTest, nullptr, -1, answer);
        });

        EXPECT_EQ(outcome.result, type == 1 ? kJobSuccess : kJobFalseResult);
        EXPECT_EQ(answer.Empty(), type != 1);
        // Another type touches the printer only to find it: no framed command ("C" and a code).
        const std::vector<std::string> requests = printer.Requests();
        const auto framed = std::count_if(requests.begin(), requests.end(), [](const std::string& r) {
            return r != "CAN" && r.rfind('C', 0) == 0;
        });
        EXPECT_EQ(framed > 0, type == 1) << type;
        EXPECT_EQ(CountOf(requests, "C81"), type == 1 ? 1u : 0u);
    }
}

TEST_F(Job, StatusReadsTheGeneralAndExtendedBytesTheDescriptionsOffer) {
    TranscribedPrinter printer(ShippedProfile("default"));
    ASSERT_EQ(Run(printer, printer_jobs::ReadDeviceData).result, kJobSuccess);
    StatusDevice status;

    const PrinterJobOutcome outcome =
        Run(printer, [&](PrinterJobSession& s) { return printer_jobs::GetStatusDevice(s, status); });

    EXPECT_EQ(outcome.result, kJobSuccess);
    ASSERT_NE(data.GetStatusInfoGenData(), nullptr);
    EXPECT_TRUE(data.GetStatusInfoGenData()->GetStatusWayPorts().Available());
    EXPECT_GT(status.generalLength, 0);
    EXPECT_EQ(status.extendedLength > 0, data.GetStatusInfoExtData() != nullptr);
}

TEST_F(Job, WriteWithNothingChangedIsStillSuccessAndStoresNothing) {
    TranscribedPrinter printer(ShippedProfile("minimal"));
    ASSERT_EQ(Run(printer, printer_jobs::ReadDeviceData).result, kJobSuccess);
    ProtocolDataAvailable selection;
    selection.SetupDataToSave(false, true);

    const PrinterJobOutcome outcome =
        Run(printer, [&](PrinterJobSession& s) { return printer_jobs::WriteDeviceData(s, selection); });

    EXPECT_EQ(outcome.result, kJobSuccess);
    EXPECT_EQ(CountOf(printer.Requests(), "C6"), 0u);
}

} // namespace

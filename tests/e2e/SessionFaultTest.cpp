// A printer that misbehaves: answers that go missing, refusals, a dropped connection and silence.
// Each run ends with its documented status in bounded time; none hangs.
#include "tests/e2e/SimPrinter.h"

#include <gtest/gtest.h>

namespace {

ProcessResult ReadVersion(const SimPrinter& printer) {
    return Dalvora(Args({"--printerversion", "-v", "-lv"}, printer.DeviceArgs()), 60000);
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

} // namespace

TEST(SessionFaults, AnItemMissingTwiceIsReadTheThirdTime) {
    SimPrinter printer(SimOptions::Faults({"no-answer=C4#3", "no-answer=C4#4"}));
    ASSERT_TRUE(printer.Started());
    ProcessResult r = ReadVersion(printer);
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_TRUE(Has(r.out, "Error(Retry 1 of 3)")) << r.out;
    EXPECT_TRUE(Has(r.out, "Error(Retry 2 of 3)"));
    EXPECT_FALSE(Has(r.out, "Get ID Info Error"));
}

TEST(SessionFaults, AnItemMissingThreeTimesEndsTheReadWithSeven) {
    SimPrinter printer(SimOptions::Faults({"no-answer=C4#3", "no-answer=C4#4", "no-answer=C4#5"}));
    ASSERT_TRUE(printer.Started());
    ProcessResult r = ReadVersion(printer);
    EXPECT_EQ(r.exitCode, 14);
    EXPECT_TRUE(Has(r.out, "Get ID Info Error")) << r.out;
    EXPECT_TRUE(Has(r.out, "PrnCom_ReadSetupData FAILURE (7)\n"));
    EXPECT_TRUE(Has(r.out, "Communication Error\n"));
}

TEST(SessionFaults, RefusalsComeBackAsHundredPlusTheirNumber) {
    // The id list refused: the read ends with the printer's own code.
    SimPrinter list(SimOptions::Faults({"error=C3:05"}));
    ASSERT_TRUE(list.Started());
    ProcessResult r = ReadVersion(list);
    EXPECT_EQ(r.exitCode, 14);
    EXPECT_TRUE(Has(r.out, "PrnCom_ReadSetupData FAILURE (105)\n")) << r.out;

    // A tool refused.
    SimPrinter tool(SimOptions::Faults({"error=C81:02"}));
    ASSERT_TRUE(tool.Started());
    r = Dalvora(Args({"--exectool", "-v"}, Args(tool.DeviceArgs(), {"-rtool", "1-3"})));
    EXPECT_EQ(r.exitCode, 14);
    EXPECT_TRUE(Has(r.out, "Execute Tool FAILURE (102)\n")) << r.out;
}

TEST(SessionFaults, WrongItemChecksumIsRetriedThenRefused) {
    SimPrinter printer(SimOptions::Faults({"wrong-checksum=C4"}));
    ASSERT_TRUE(printer.Started());
    ProcessResult r = ReadVersion(printer);
    EXPECT_EQ(r.exitCode, 14);
    EXPECT_TRUE(Has(r.out, "ExtractIDInfo ID Info Error")) << r.out;
}

TEST(SessionFaults, ALateItemAnswerIsRetriedNotTaken) {
    SimPrinter printer(SimOptions::Faults({"stale=C4#5"}));
    ASSERT_TRUE(printer.Started());
    SimPrinter plain;
    ASSERT_TRUE(plain.Started());
    ProcessResult expected = ReadVersion(plain);
    ASSERT_EQ(expected.exitCode, 0) << expected.out;
    ProcessResult r = ReadVersion(printer);
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_TRUE(Has(r.out, "Error(Retry 1 of 3)")) << r.out;
    EXPECT_EQ(printer.Count("C4"), plain.Count("C4") + 1) << "one more request: the retry";
    // The same setup as from a printer that answers in time.
    const auto summary = [](const std::string& out) {
        const size_t from = out.rfind("GSI:");
        return from == std::string::npos ? std::string()
                                         : out.substr(from, out.find("Operation", from) - from);
    };
    EXPECT_NE(summary(expected.out), "");
    EXPECT_EQ(summary(r.out), summary(expected.out));
}

TEST(SessionFaults, SilentPrinterIsNotFound) {
    SimPrinter printer(SimOptions::Faults({"silence"}));
    ASSERT_TRUE(printer.Started());
    ProcessResult r = ReadVersion(printer);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 14);
    EXPECT_TRUE(Has(r.out, "Read GSI Error")) << r.out;
    EXPECT_TRUE(Has(r.out, "PrnCom_Init FAILURE (6)\n"));
}

TEST(SessionFaults, DroppedConnectionEndsInOrder) {
    SimPrinter printer(SimOptions::Faults({"drop=C4#2:10"}));
    ASSERT_TRUE(printer.Started());
    ProcessResult r = ReadVersion(printer);
    EXPECT_FALSE(r.timedOut);
    // The port reconnects on the next write, so the retry may still read the item.
    EXPECT_TRUE(r.exitCode == 0 || r.exitCode == 14) << r.exitCode << "\n" << r.out;
    EXPECT_TRUE(Has(r.out, r.exitCode == 0 ? "Operation Completed\n" : "FAILURE (")) << r.out;
}

TEST(SessionFaults, GarbageAndDripStillRead) {
    SimPrinter printer(SimOptions::Faults({"garbage=C4#2:7", "drip=64:1"}));
    ASSERT_TRUE(printer.Started());
    ProcessResult r = ReadVersion(printer);
    EXPECT_EQ(r.exitCode, 0) << r.out;
}

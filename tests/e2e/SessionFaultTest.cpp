// A printer that misbehaves: answers that go missing, refusals, a dropped connection and silence.
// Each run ends with its documented status in bounded time; none hangs. (A late answer is in the
// in-process session suite.)
#include "tests/e2e/SimPrinter.h"

#include <gtest/gtest.h>

TEST(SessionFaults, EachFaultEndsTheReadWithItsStatusAndMessage) {
    const struct {
        std::vector<std::string> faults;
        int status; // -1: 0 or 14
        std::vector<std::string> messages;
    } cases[] = {
        // An item missing twice is read the third time; three times ends the read with 7.
        {{"no-answer=C4#3", "no-answer=C4#4"}, 0, {"Error(Retry 1 of 3)", "Error(Retry 2 of 3)"}},
        {{"no-answer=C4#3", "no-answer=C4#4", "no-answer=C4#5"},
         14,
         {"Get ID Info Error", "PrnCom_ReadSetupData FAILURE (7)\n", "Communication Error\n"}},
        // A refusal comes back as 100 plus its number.
        {{"error=C3:05"}, 14, {"PrnCom_ReadSetupData FAILURE (105)\n"}},
        {{"wrong-checksum=C4"}, 14, {"ExtractIDInfo ID Info Error"}},
        {{"silence"}, 14, {"Read GSI Error", "PrnCom_Init FAILURE (6)\n"}},
        {{"garbage=C4#2:7", "drip=64:1"}, 0, {}},
        // The port reconnects on the next write, so the retry may still read the item.
        {{"drop=C4#2:10"}, -1, {}},
    };
    for (const auto& c : cases) {
        const std::string name = ::testing::PrintToString(c.faults);
        SimPrinter printer({.faults = c.faults});
        ASSERT_TRUE(printer.Started()) << name;
        ProcessResult r = Dalvora(Args({"--printerversion", "-v", "-lv"}, printer.DeviceArgs()));
        EXPECT_FALSE(r.timedOut) << name;
        EXPECT_TRUE(c.status < 0 ? r.exitCode == 0 || r.exitCode == 14 : r.exitCode == c.status)
            << name << ": " << r.exitCode << "\n"
            << r.out;
        for (const std::string& message : c.messages)
            EXPECT_TRUE(Has(r.out, message)) << name << ": " << message << "\n" << r.out;
        EXPECT_TRUE(Has(r.out, r.exitCode == 0 ? "Operation Completed\n" : "FAILURE (")) << name;
        EXPECT_FALSE(c.status == 0 && Has(r.out, "Get ID Info Error")) << name << " reads every item";
    }
}

TEST(SessionFaults, RefusedToolEndsWithHundredPlusItsNumber) {
    SimPrinter tool({.faults = {"error=C81:02"}});
    ASSERT_TRUE(tool.Started());
    ProcessResult r = Dalvora(Args({"--exectool", "-v"}, Args(tool.DeviceArgs(), {"-rtool", "1-3"})));
    EXPECT_EQ(r.exitCode, 14);
    EXPECT_TRUE(Has(r.out, "Execute Tool FAILURE (102)\n")) << r.out;
}

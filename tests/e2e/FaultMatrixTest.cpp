// Every printer operation of the command line against every printer fault, at every place in its
// conversation where the fault can strike: each run ends with 0 only when the operation really
// completed, otherwise with the operation's failure status; never by a signal, never later than the
// program's own time-outs allow, and a failed write stores nothing. Each case also leaves a summary
// line (verdict, status, elapsed and bound) for scripts/fault-matrix-summary.sh.
#include "tests/e2e/FaultMatrix.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

using faultmatrix::Case;

class FaultMatrix : public ::testing::TestWithParam<Case> {};

TEST_P(FaultMatrix, EndsInOrderWithinItsTimeOuts) {
    const Case c = GetParam();
    const faultmatrix::Verdict v = faultmatrix::RunCase(c);
    const std::string name = faultmatrix::Name(c);
    std::ofstream(faultmatrix::ResultDirectory() + "/case-" + name + ".txt") << v.Summary(name) << "\n";
    RecordProperty("summary", v.Summary(name));
    if (!v.skipReason.empty())
        GTEST_SKIP() << v.skipReason;
    for (const std::string& problem : v.problems)
        ADD_FAILURE() << problem << " (fault at " << v.selector << ", bound " << v.boundMs << " ms)\n"
                      << v.result.out << v.result.err;
}

INSTANTIATE_TEST_SUITE_P(Cases, FaultMatrix,
                         ::testing::ValuesIn(faultmatrix::AllCases(FAULT_MATRIX_USB != 0)),
                         [](const ::testing::TestParamInfo<Case>& info) {
                             return faultmatrix::Name(info.param);
                         });

} // namespace

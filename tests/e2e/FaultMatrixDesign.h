// The fault matrix's inner parts: where a place falls in a conversation and what the program's
// time-outs allow a faulted run, in milliseconds before the test's time scale.
#pragma once

#include "tests/e2e/FaultMatrix.h"

#include <optional>

namespace faultmatrix {

// The request that stores set values or programs the printer, if the operation has one.
std::optional<std::string> StoreKind(Op op);
// Whether the case sends the large package.
bool LargeImage(const Case& c);
// The key of a case's clean run: its operation, link and package.
std::string CleanKey(const Case& c);
// The exchange a case's place names in a clean conversation; none when the place does not occur.
std::optional<Exchange> Resolve(const Case& c, const std::vector<Exchange>& conversation);

// How long the program waits for this exchange's answer before it gives up on it.
uint64_t ExchangeWaitMs(Op op, Link link, const std::string& kind);
// An answer clearly beyond that wait, and one clearly within it.
uint64_t StallMs(Op op, Link link, const std::string& kind);
uint64_t WithinMs(Op op, Link link, const std::string& kind);
// What a fault at this exchange can cost at most: failed handshakes, the exchange's waits over its
// attempts (with what the fault adds to each), reconnections, and an upgrade's reopening.
uint64_t DesignCostMs(const Case& c, const std::string& kind, uint64_t injectedMs);

} // namespace faultmatrix

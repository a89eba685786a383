// The matrix's cases, the places a fault strikes, and the time a faulted run may take by design.
#include "tests/e2e/FaultMatrixDesign.h"

#include <algorithm>
#include <cstdio>

namespace faultmatrix {
namespace {

const char* OpName(Op op) {
    static const char* const kNames[] = {"PrinterVersion", "Tool",          "UploadTool",    "SendChanged",
                                         "SendAll",        "UpgradeModule", "UpgradePackage"};
    return kNames[static_cast<int>(op)];
}

const char* FaultName(Fault fault) {
    static const char* const kNames[] = {"NoAnswer", "Error",   "WrongChecksum", "Drop",        "Stall",
                                         "Garbage",  "Drip",    "LateWithin",    "Stale",       "Vanish",
                                         "BadSum",   "Refused", "NoReturn",      "SlowRestart", "Split"};
    return kNames[static_cast<int>(fault)];
}

const char* WhereName(Where where) {
    static const char* const kNames[] = {"Handshake", "First",    "Middle",  "Last",
                                         "Store",     "Anywhere", "Transfer"};
    return kNames[static_cast<int>(where)];
}

const char* LinkName(Link link) {
    static const char* const kNames[] = {"Tcp", "Pty", "Usb"};
    return kNames[static_cast<int>(link)];
}

const Op kOps[] = {Op::PrinterVersion, Op::Tool,          Op::UploadTool,    Op::SendChanged,
                   Op::SendAll,        Op::UpgradeModule, Op::UpgradePackage};

bool IsUpgrade(Op op) {
    return op == Op::UpgradeModule || op == Op::UpgradePackage;
}

// Only the id list and item answers carry a checksum the simulator can spoil; the upgrade and tool
// conversations read none.
bool ReadsChecksummedAnswers(Op op) {
    return op == Op::PrinterVersion || op == Op::SendChanged || op == Op::SendAll;
}

// Only a conversation that asks the same kind of request again can be given an earlier answer.
bool RepeatsRequests(Op op) {
    return ReadsChecksummedAnswers(op);
}

// The faults that strike one chosen exchange, at the places where they change anything: a refusal is
// a framed answer (not the handshake's raw bytes nor the loader's result byte), and a stale answer
// needs an earlier answer of the same kind.
std::vector<Where> PlacesOf(Op op, Fault fault) {
    std::vector<Where> places{Where::Handshake, Where::First, Where::Middle, Where::Last};
    // The printer answers the loader's transfers but not the command that stores set values: only a
    // printer that vanishes can spoil that one.
    if (StoreKind(op) && (IsUpgrade(op) || fault == Fault::Vanish))
        places.push_back(Where::Store);
    switch (fault) {
    case Fault::Error:
        places.erase(places.begin());
        if (IsUpgrade(op))
            places.pop_back();
        return places;
    case Fault::WrongChecksum:
        return ReadsChecksummedAnswers(op) ? std::vector<Where>{Where::First, Where::Middle, Where::Last}
                                           : std::vector<Where>{};
    case Fault::Stale:
        return RepeatsRequests(op) ? std::vector<Where>{Where::Middle, Where::Last} : std::vector<Where>{};
    case Fault::Drip:
        return {Where::Anywhere};
    case Fault::Split: // the loader's result is one byte, and the store has no answer
        places.resize(4);
        return places;
    case Fault::BadSum:
    case Fault::Refused:
    case Fault::NoReturn:
    case Fault::SlowRestart:
        return IsUpgrade(op) ? std::vector<Where>{Where::Store} : std::vector<Where>{};
    case Fault::Vanish:
        if (op == Op::UpgradePackage)
            places.push_back(Where::Transfer);
        return places;
    default:
        return places;
    }
}

// Over the serial line and USB each fault strikes once per operation, the places taken in turn; the
// split answer stands for every answer dripping in pieces there.
std::vector<std::pair<Fault, Where>> SubsetOf(Op op, Link link) {
    std::vector<std::pair<Fault, Where>> subset{
        {Fault::NoAnswer, Where::Handshake}, {Fault::Error, Where::First},
        {Fault::Drop, Where::Middle},        {Fault::Stall, Where::Last},
        {Fault::Garbage, Where::Middle},     {Fault::LateWithin, Where::First},
        {Fault::Split, Where::Handshake}};
    if (ReadsChecksummedAnswers(op))
        subset.insert(subset.end(), {{Fault::WrongChecksum, Where::Middle}, {Fault::Stale, Where::Last}});
    if (IsUpgrade(op)) {
        subset.emplace_back(link == Link::Pty ? Fault::BadSum : Fault::Refused, Where::Store);
        subset.emplace_back(Fault::NoReturn, Where::Store);
    }
    return subset;
}

} // namespace

std::optional<std::string> StoreKind(Op op) {
    switch (op) {
    case Op::SendChanged:
    case Op::SendAll:
        return "C6";
    case Op::UpgradeModule:
        return "MODULE";
    case Op::UpgradePackage:
        return "PROGRAM";
    default:
        return std::nullopt;
    }
}

std::string Name(const Case& c) {
    return std::string(LinkName(c.link)) + "_" + OpName(c.op) + "_" + FaultName(c.fault) + "_" +
           WhereName(c.where);
}

bool LargeImage(const Case& c) {
    return c.where == Where::Transfer;
}

std::string CleanKey(const Case& c) {
    return std::string(OpName(c.op)) + "-" + LinkName(c.link) + (LargeImage(c) ? "-large" : "");
}

std::vector<Case> AllCases(bool withUsb) {
    std::vector<Case> cases;
    for (Op op : kOps)
        for (int f = 0; f <= static_cast<int>(Fault::Split); ++f)
            for (Where where : PlacesOf(op, static_cast<Fault>(f)))
                cases.push_back({op, static_cast<Fault>(f), where, Link::Tcp});
    std::vector<Link> others{Link::Pty};
    if (withUsb)
        others.push_back(Link::Usb);
    for (Link link : others)
        for (Op op : kOps)
            for (auto [fault, where] : SubsetOf(op, link))
                cases.push_back({op, fault, where, link});
    return cases;
}

// ---- where a place falls in a conversation

namespace {

bool IsHandshake(const std::string& kind) {
    return kind == "GSI" || kind == "GSIFF" || kind == "FWREL";
}

bool IsChecksummed(const std::string& kind) {
    return kind == "C3" || kind == "C4";
}

} // namespace

std::optional<Exchange> Resolve(const Case& c, const std::vector<Exchange>& conversation) {
    // The identity code is one byte: a split strikes the release that follows it.
    if (c.where == Where::Handshake)
        return Exchange{c.fault == Fault::Split ? "FWREL" : "GSI", 1};
    if (c.where == Where::Transfer)
        return Exchange{"BANKS", 1};
    const std::optional<std::string> storeKind = StoreKind(c.op);
    auto store = std::find_if(conversation.begin(), conversation.end(),
                              [&](const Exchange& e) { return storeKind && e.kind == *storeKind; });
    if (c.where == Where::Store)
        return store == conversation.end() ? std::nullopt : std::optional<Exchange>(*store);
    // The exchanges before the store that answer something: the bank announcement has no answer.
    std::vector<Exchange> candidates;
    for (auto it = conversation.begin(); it != store; ++it) {
        const bool fits = c.fault == Fault::WrongChecksum ? IsChecksummed(it->kind)
                                                          : !IsHandshake(it->kind) && it->kind != "BANKS";
        if (fits)
            candidates.push_back(*it);
    }
    if (candidates.empty())
        return std::nullopt;
    switch (c.where) {
    case Where::First:
        return candidates.front();
    case Where::Last:
        return candidates.back();
    default:
        return candidates[(candidates.size() - 1) / 2];
    }
}

// ---- the program's time-outs, as designed (milliseconds before scaling)

namespace {

// The frame layer multiplies every requested read time-out by the link's factor.
int LinkFactor(Link link) {
    return link == Link::Tcp ? 2 : link == Link::Pty ? 3 : 1;
}

constexpr uint64_t kSessionTimeoutMs = 700;   // every session's port
constexpr uint64_t kInitTimeoutMs = 300;      // the port that looks for the printer first
constexpr uint64_t kHandshakeAttempts = 5;    // identity requests before giving up
constexpr uint64_t kHandshakePauseMs = 3000;  // between them
constexpr uint64_t kSerialRates = 5;          // baud rates tried on a serial line
constexpr uint64_t kSerialAttempts = 3;       // identity requests per rate
constexpr uint64_t kSettleMs = 500 + 1000;    // after finding a TCP printer; after the store's reset
constexpr uint64_t kEmptyReads = 3;           // empty reads that end an untimed answer
constexpr uint64_t kVersionTimeoutMs = 6000;  // the protocol version's timed read
constexpr uint64_t kToolTimeoutMs = 5000;     // tools 1-3 and 1-6
constexpr uint64_t kItemAttempts = 3;         // reads of one item
constexpr uint64_t kProgramAnswerMs = 110000; // the loader's result after a U1 image
constexpr uint64_t kProgramAttempts = 3;
constexpr uint64_t kModuleAnswerMs = 60000;
constexpr uint64_t kReopenAttempts = 12 + 7; // reopening before, and after the printer's restart
constexpr uint64_t kReopenPauseMs = 5000;
constexpr uint64_t kRestartMs = 1500;    // the simulated printer's restart
constexpr uint64_t kBankWriteMs = 2500;  // one bank's write
constexpr uint64_t kSendStallMs = 20000; // a send that makes no progress at all

uint64_t ReadTimeout(Link link) {
    return kSessionTimeoutMs * static_cast<uint64_t>(LinkFactor(link));
}

// A handshake that never gets its answers: the first session's and one more.
uint64_t FailedHandshakes(Link link) {
    const uint64_t init = kInitTimeoutMs * static_cast<uint64_t>(LinkFactor(link));
    const uint64_t search =
        link == Link::Pty
            ? kSerialRates * (kSerialAttempts * init + (kSerialAttempts - 1) * kHandshakePauseMs)
            : kHandshakeAttempts * init + (kHandshakeAttempts - 1) * kHandshakePauseMs;
    const uint64_t session =
        kHandshakeAttempts * ReadTimeout(link) + (kHandshakeAttempts - 1) * kHandshakePauseMs;
    return search + session + kSettleMs;
}

} // namespace

uint64_t ExchangeWaitMs(Op op, Link link, const std::string& kind) {
    if (IsHandshake(kind))
        return ReadTimeout(link);
    if (kind == "C1")
        return kVersionTimeoutMs;
    if ((op == Op::Tool || op == Op::UploadTool) && (kind == "C80" || kind == "C81"))
        return kToolTimeoutMs;
    if (kind == "PROGRAM")
        return kProgramAnswerMs;
    if (kind == "MODULE")
        return kModuleAnswerMs;
    return kEmptyReads * ReadTimeout(link);
}

uint64_t StallMs(Op op, Link link, const std::string& kind) {
    return ExchangeWaitMs(op, link, kind) + kEmptyReads * ReadTimeout(link);
}

uint64_t WithinMs(Op op, Link link, const std::string& kind) {
    return std::min(ExchangeWaitMs(op, link, kind) / 2, 2 * ReadTimeout(link));
}

uint64_t DesignCostMs(const Case& c, const std::string& kind, uint64_t injectedMs) {
    const uint64_t attempts = kind == "C4"        ? kItemAttempts
                              : kind == "PROGRAM" ? kProgramAttempts
                              : kind == "GSI"     ? kHandshakeAttempts
                                                  : 1;
    uint64_t cost = FailedHandshakes(c.link) + attempts * (ExchangeWaitMs(c.op, c.link, kind) + injectedMs);
    if (c.fault == Fault::Vanish)
        cost += kHandshakeAttempts * ReadTimeout(c.link); // connections that are never accepted
    if (c.where == Where::Transfer)
        cost += kBankWriteMs + kSendStallMs;
    if (IsUpgrade(c.op))
        cost += kReopenAttempts * (kReopenPauseMs + ReadTimeout(c.link)) + kRestartMs;
    return cost;
}

} // namespace faultmatrix

// The fleet run: at most N printers at once (and really N), some strictly one at a time, carrying on
// past failures, and no new printer after a stop request.
#include "fleet/FleetRun.h"
#include "fleet/PrinterOps.h"
#include "upgrade/UpgradeStop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

std::vector<fleet::PrinterTarget> Targets(size_t count) {
    std::vector<fleet::PrinterTarget> targets;
    for (size_t i = 0; i < count; ++i) {
        fleet::PrinterTarget target;
        target.address = "eth:10.0.0." + std::to_string(i);
        target.settings.type = i % 3 == 0 ? COMM_USB_PRN : COMM_ETHERNET;
        targets.push_back(target);
    }
    return targets;
}

// Counts how many pieces of work overlap; each holds on until `overlap` of them run together or a
// generous limit passes, so the peak is reached whenever the runner allows it.
struct OverlapProbe {
    std::atomic<int> running{0};
    std::atomic<int> peak{0};

    void Enter(int awaited, int limitMs = 2000) {
        const int now = ++running;
        for (int seen = peak.load(); now > seen && !peak.compare_exchange_weak(seen, now);) {
        }
        for (int i = 0; i < limitMs && peak.load() < awaited; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        --running;
    }
};

TEST(FleetRun, RunsUpToParallelAtOnceAndKeepsOrder) {
    OverlapProbe probe;
    const std::vector<fleet::PrinterTarget> targets = Targets(12);
    fleet::FleetOptions options;
    options.parallel = 4;
    const std::vector<fleet::PrinterResult> results = fleet::RunFleet(
        targets,
        [&](const fleet::PrinterTarget& target) {
            probe.Enter(4);
            return fleet::PrinterResult{fleet::State::Ok, 0, "", {{"address", target.address}}};
        },
        options);
    EXPECT_EQ(probe.peak.load(), 4);
    ASSERT_EQ(results.size(), targets.size());
    for (size_t i = 0; i < targets.size(); ++i)
        EXPECT_EQ(results[i].detail["address"], targets[i].address);
}

TEST(FleetRun, OneAtATimePrintersNeverOverlap) {
    OverlapProbe usb;
    OverlapProbe ethernet;
    fleet::FleetOptions options;
    options.parallel = 8;
    options.oneAtATime = [](const fleet::PrinterTarget& target) {
        return target.settings.type == COMM_USB_PRN;
    };
    (void)fleet::RunFleet(
        Targets(12),
        [&](const fleet::PrinterTarget& target) {
            if (target.settings.type == COMM_USB_PRN)
                usb.Enter(2, 200); // would reach 2 if two ran together
            else
                ethernet.Enter(2);
            return fleet::PrinterResult{fleet::State::Ok, 0, "", {}};
        },
        options);
    EXPECT_EQ(usb.peak.load(), 1);
    EXPECT_EQ(ethernet.peak.load(), 2);
}

TEST(FleetRun, CarriesOnPastFailuresAndThrowingWork) {
    fleet::FleetOptions options;
    options.parallel = 3;
    std::vector<std::string> progress;
    options.progress = [&](size_t, const fleet::PrinterTarget& target, const fleet::PrinterResult* result) {
        progress.push_back(target.address + (result ? " end" : " start"));
    };
    const std::vector<fleet::PrinterResult> results = fleet::RunFleet(
        Targets(6),
        [](const fleet::PrinterTarget& target) {
            if (target.address == "eth:10.0.0.2")
                throw std::runtime_error("port exploded");
            if (target.address == "eth:10.0.0.4")
                return fleet::PrinterResult{fleet::State::Failed, 7, "no answer", {}};
            return fleet::PrinterResult{fleet::State::Ok, 0, "", {}};
        },
        options);
    EXPECT_EQ(results[2].state, fleet::State::Failed);
    EXPECT_NE(results[2].reason.find("port exploded"), std::string::npos);
    EXPECT_EQ(results[4].code, 7);
    EXPECT_EQ(results[5].state, fleet::State::Ok);
    EXPECT_EQ(progress.size(), 12u);
}

TEST(FleetRun, StopRequestStartsNoFurtherPrinter) {
    ClearUpgradeStop();
    fleet::FleetOptions options;
    options.parallel = 1;
    const std::vector<fleet::PrinterResult> results = fleet::RunFleet(
        Targets(5),
        [](const fleet::PrinterTarget& target) {
            if (target.address == "eth:10.0.0.1")
                RequestUpgradeStop(); // Ctrl-C while the second printer runs
            return fleet::PrinterResult{fleet::State::Ok, 0, "", {}};
        },
        options);
    ClearUpgradeStop();
    EXPECT_EQ(results[1].state, fleet::State::Ok); // the running one finishes
    for (size_t i = 2; i < results.size(); ++i) {
        EXPECT_EQ(results[i].state, fleet::State::Skipped);
        EXPECT_EQ(results[i].code, fleet::kFailureStopped);
    }
}

} // namespace

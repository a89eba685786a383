#include "fleet/FleetRun.h"

#include "fleet/PrinterOps.h"
#include "upgrade/UpgradeStop.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>

namespace fleet {

const char* StateName(State state) {
    switch (state) {
    case State::Ok:
        return "ok";
    case State::Failed:
        return "failed";
    case State::Skipped:
        break;
    }
    return "skipped";
}

namespace {

class FleetRunner {
public:
    FleetRunner(const std::vector<PrinterTarget>& targets, const PrinterWork& work,
                const FleetOptions& options)
        : m_targets(targets), m_work(work), m_options(options), m_results(targets.size()) {
        for (PrinterResult& result : m_results) {
            result.code = kFailureStopped;
            result.reason = FailureText(kFailureStopped);
        }
    }

    std::vector<PrinterResult> Run() {
        const size_t workers = std::clamp<size_t>(static_cast<size_t>(std::max(m_options.parallel, 1)), 1,
                                                  std::max<size_t>(m_targets.size(), 1));
        std::vector<std::jthread> threads;
        for (size_t i = 1; i < workers; ++i)
            threads.emplace_back([this] { Work(); });
        Work();
        threads.clear(); // joins
        return std::move(m_results);
    }

private:
    void Work() {
        for (size_t index = m_next++; index < m_targets.size(); index = m_next++) {
            if (UpgradeStopRequested())
                continue; // stays skipped
            const PrinterTarget& target = m_targets[index];
            Report(index, nullptr);
            PrinterResult result;
            if (m_options.oneAtATime && m_options.oneAtATime(target)) {
                std::lock_guard<std::mutex> turn(m_oneAtATime);
                result = RunOne(target);
            } else {
                result = RunOne(target);
            }
            m_results[index] = std::move(result);
            Report(index, &m_results[index]);
        }
    }

    PrinterResult RunOne(const PrinterTarget& target) {
        try {
            return m_work(target);
        } catch (const std::exception& e) {
            // Whatever went wrong stays with this printer; the others go on.
            return {State::Failed, -1, std::string("unexpected failure: ") + e.what(),
                    nlohmann::json::object()};
        }
    }

    void Report(size_t index, const PrinterResult* result) {
        if (!m_options.progress)
            return;
        std::lock_guard<std::mutex> lock(m_progress);
        m_options.progress(index, m_targets[index], result);
    }

    const std::vector<PrinterTarget>& m_targets;
    const PrinterWork& m_work;
    const FleetOptions& m_options;
    std::vector<PrinterResult> m_results;
    std::atomic<size_t> m_next{0};
    std::mutex m_oneAtATime;
    std::mutex m_progress;
};

} // namespace

std::vector<PrinterResult> RunFleet(const std::vector<PrinterTarget>& targets, const PrinterWork& work,
                                    const FleetOptions& options) {
    return FleetRunner(targets, work, options).Run();
}

} // namespace fleet

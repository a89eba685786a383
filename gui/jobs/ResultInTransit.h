// A result object on its way from a worker thread to the window. It is recorded when the worker emits
// it and forgotten when the controller hands it on; whatever was never handed on (the job was torn
// down before its queued result arrived) is released with this holder instead of leaking.
#pragma once

#include <algorithm>
#include <mutex>
#include <vector>

template <class T> class ResultInTransit {
public:
    ResultInTransit() = default;
    ResultInTransit(const ResultInTransit&) = delete;
    ResultInTransit& operator=(const ResultInTransit&) = delete;
    ~ResultInTransit() {
        for (T* result : m_results)
            delete result;
    }

    // Worker thread, as the result is emitted.
    void sent(void* result) {
        if (result == nullptr)
            return;
        std::lock_guard<std::mutex> lock(m_mutex);
        m_results.push_back(static_cast<T*>(result));
    }
    // Main thread, as the result is handed on.
    void delivered(void* result) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_results.erase(std::remove(m_results.begin(), m_results.end(), result), m_results.end());
    }

private:
    std::mutex m_mutex;
    std::vector<T*> m_results;
};

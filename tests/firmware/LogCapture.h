// Captures what the log writes to standard output while a test step runs.
#pragma once

#include "base/Log.h"

#include <gtest/gtest.h>

#include <string>

class LogCapture {
public:
    LogCapture() {
        Log::SetLogEnable(1, true, nullptr);
        testing::internal::CaptureStdout();
    }
    ~LogCapture() {
        if (m_active)
            (void)testing::internal::GetCapturedStdout();
        Log::SetLogEnable(0, false, nullptr);
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::string Text() {
        if (m_active) {
            m_text = testing::internal::GetCapturedStdout();
            m_active = false;
        }
        return m_text;
    }

private:
    bool m_active = true;
    std::string m_text;
};

#include "base/Log.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>
#include <sys/time.h>

unsigned int Log::m_dwLogType = 0;
bool Log::m_bLogDataToo = false;
char Log::m_strFileName[Log::kFileNameSize] = "status.log";

namespace {
// Worker threads log while the window's thread does too; one line at a time keeps lines whole.
std::mutex& LineMutex() {
    static std::mutex mutex;
    return mutex;
}

struct FileCloser {
    void operator()(FILE* file) const { fclose(file); }
};

thread_local unsigned t_quietDepth = 0;
} // namespace

Log::Quiet::Quiet() {
    ++t_quietDepth;
}

Log::Quiet::~Quiet() {
    --t_quietDepth;
}

bool Log::IsSilent() {
    return m_dwLogType == 0 || !m_bLogDataToo || t_quietDepth != 0;
}

void Log::SetLogEnable(unsigned int type, bool enable, const char* directory) {
    std::lock_guard<std::mutex> lock(LineMutex());
    m_dwLogType = type;
    if (type != 0)
        m_bLogDataToo = enable;
    snprintf(m_strFileName, sizeof m_strFileName, "%s", kFileName);
    if (directory == nullptr)
        return;
    char path[kFileNameSize];
    int needed = snprintf(path, sizeof path, "%s/%s", directory, kFileName);
    if (needed > 0 && static_cast<size_t>(needed) < sizeof path)
        memcpy(m_strFileName, path, static_cast<size_t>(needed) + 1);
}

std::string Log::FormatLine(const char* where, const char* text) {
    struct timeval now {};
    gettimeofday(&now, nullptr);
    struct tm local {};
    localtime_r(&now.tv_sec, &local);
    char line[kLineBufferSize];
    snprintf(line, sizeof line, "[%d/%02d/%02d %02d:%02d:%02d.%03ld][%s]%s", local.tm_year + 1900,
             local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
             static_cast<long>(now.tv_usec / 1000), where ? where : "", text ? text : "");
    return line;
}

void Log::WriteLog(const char* where, const char* text) {
    if (IsSilent())
        return;
    std::string line = FormatLine(where, text);
    std::lock_guard<std::mutex> lock(LineMutex());
    if (m_dwLogType == 1) {
        fputs(line.c_str(), stdout);
        fputc('\n', stdout);
        fflush(stdout);
    } else if (m_dwLogType == 2) {
        AppendToFile(line);
    }
}

// Opened and closed for every line, so the file can be read, moved or deleted while the program runs.
void Log::AppendToFile(const std::string& line) {
    std::unique_ptr<FILE, FileCloser> file(fopen(m_strFileName, "a"));
    if (!file)
        return;
    fputs(line.c_str(), file.get());
    fputc('\n', file.get());
}

void Log::WriteLogP(const char* where, const char* format, ...) {
    if (IsSilent())
        return;
    char text[kLineBufferSize];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    WriteLog(where, text);
}

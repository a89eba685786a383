// Diagnostic log: off, on standard output, or appended to "status.log". Every function of the
// transports, the protocol layer and the upgrade procedures writes its "Begin"/"End" and messages here.
#pragma once

#include <cstddef>
#include <string>

class Log {
public:
    static constexpr size_t kLineBufferSize = 4096; // one formatted line, longer text is cut
    static constexpr size_t kFileNameSize = 200;    // the log path, terminator included
    static constexpr const char* kFileName = "status.log";

    // type: 0 off, 1 standard output, 2 file. A directory too long for the path buffer is refused
    // and the file goes to the working directory, as when no directory is given.
    static void SetLogEnable(unsigned int type, bool enable, const char* directory);

    static void WriteLog(const char* where, const char* text);
    static void WriteLogP(const char* where, const char* format, ...) __attribute__((format(printf, 2, 3)));
    static void Write(const char* where, const char* text) { WriteLog(where, text); }

    static unsigned int GetLogType() { return m_dwLogType; }
    static bool IsLogDataToo() { return m_bLogDataToo; }
    static std::string GetFileName() { return m_strFileName; }

    // While one lives, the lines of its thread are dropped: for a look-ahead whose work is done again,
    // and logged, later.
    class Quiet {
    public:
        Quiet();
        ~Quiet();
        Quiet(const Quiet&) = delete;
        Quiet& operator=(const Quiet&) = delete;
    };

    // The line exactly as it is written, without line break; split out so its format can be checked.
    static std::string FormatLine(const char* where, const char* text);

private:
    static void AppendToFile(const std::string& line);
    static bool IsSilent();

    static unsigned int m_dwLogType;
    static bool m_bLogDataToo;
    static char m_strFileName[kFileNameSize];
};

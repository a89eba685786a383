// Console writer for the command line's progress and result messages; in the window an upgrade job
// sets a callback so the same messages reach the waiting dialog.
#pragma once

#include <cstddef>

class CmdConsole {
public:
    using Callback = void (*)(const char* text);
    static constexpr size_t kMessageBufferSize = 30720; // longer messages are cut

    static int iShowToVideo;
    static Callback callback;

    // printf-style; prints the text and a line break when iShowToVideo is set, and hands the text to
    // the callback when one is set. Does no formatting work when neither would see it.
    static void WriteToConsoleString(const char* format, ...) __attribute__((format(printf, 1, 2)));
};

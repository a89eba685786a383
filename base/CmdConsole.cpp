#include "base/CmdConsole.h"

#include <cstdarg>
#include <cstdio>
#include <memory>

int CmdConsole::iShowToVideo = 0;
CmdConsole::Callback CmdConsole::callback = nullptr;

void CmdConsole::WriteToConsoleString(const char* format, ...) {
    Callback target = callback;
    if (iShowToVideo == 0 && target == nullptr)
        return;
    // Heap buffer: 30 KB on the stack of a worker thread is more than it should have to spare.
    auto text = std::make_unique<char[]>(kMessageBufferSize);
    va_list args;
    va_start(args, format);
    vsnprintf(text.get(), kMessageBufferSize, format, args);
    va_end(args);
    if (text[0] == '\0')
        return;
    if (iShowToVideo != 0) {
        fputs(text.get(), stdout);
        fputc('\n', stdout);
        fflush(stdout);
    }
    if (target != nullptr)
        target(text.get());
}

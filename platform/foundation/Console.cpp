// Console lines go to standard output, flushed, so they interleave with the program's other output.
#include "platform/foundation/Console.h"

#include <cstdio>
#include <utility>

namespace foundation {

namespace {
ConsoleSink& currentSink()
{
    static ConsoleSink sink;
    return sink;
}
}

void console(std::string_view line)
{
    if (auto& sink = currentSink()) {
        sink(line);
        return;
    }
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

ConsoleSink setConsoleSink(ConsoleSink sink)
{
    return std::exchange(currentSink(), std::move(sink));
}

}

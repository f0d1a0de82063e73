#include "SensorTrace.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

void SensorTrace::Line(const std::string& text)
{
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

void SensorTrace::Format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (n >= 0) {
        std::vector<char> buf(static_cast<size_t>(n) + 1);
        std::vsnprintf(buf.data(), buf.size(), format, args);
        Line(std::string(buf.data(), static_cast<size_t>(n)));
    }
    va_end(args);
}

SensorTrace& StdoutSensorTrace()
{
    static SensorTrace trace;
    return trace;
}

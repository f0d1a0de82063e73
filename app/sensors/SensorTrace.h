#pragma once
#include <string>

// Where the sensor binding and the sampling pass write their trace lines. The
// program's lines go to the standard output; tests and the diagnostics tool
// collect them instead.
class SensorTrace {
public:
    virtual ~SensorTrace() = default;
    // One line, with its "\n". Sampling thread.
    virtual void Line(const std::string& text);

    // printf-style formatting into one line (narrow text).
    void Format(const char* format, ...) __attribute__((format(printf, 2, 3)));
};

// The process-wide standard-output trace.
SensorTrace& StdoutSensorTrace();

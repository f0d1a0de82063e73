#pragma once
#include <array>
#include <cstdint>

struct SensorSnapshot;

// The display report 07 FF FF h t u (65 bytes, the rest 0) and the value it
// carries. No device here: the worker's push feeds these to the HID layer.
using DisplayReportBytes = std::array<uint8_t, 65>;

// The unit setting as the cooler reads it: Fahrenheit for exactly 1, Celsius
// for any other stored value. The window's picture follows the same rule.
inline bool IsFahrenheit(int tempeType) { return tempeType == 1; }

// The chosen temperature: truncated Celsius, Fahrenheit when tempeType is 1,
// GPU falling back to the integrated GPU, clamped to 0..199. 0 without a record.
int DisplayValue(const SensorSnapshot* snapshot, int deviceType, int tempeType);

// The report for the current record and settings. With a record and the light
// off (ledSwitch other than 1) the digits are 0, 0, 0.
DisplayReportBytes BuildDisplayReport(const SensorSnapshot* snapshot, int ledSwitch, int deviceType, int tempeType);

// The light-off report: the display's digits 0, 0, 0, which leave it dark.
DisplayReportBytes LightOffReport();

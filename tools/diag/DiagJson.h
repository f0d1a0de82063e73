#pragma once
#include <string>
#include <string_view>

// Minimal JSON text helpers for the tool's --json output.
std::string JsonString(std::string_view text);
std::string JsonNumber(double value);

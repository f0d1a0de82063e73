#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "WindowTestSupport.h"

// Helpers shared by the main dialog tests (in this process) and the program
// tests (the virtual-cooler build as a child process).

// Waits without pumping this thread's messages until done() holds or boundMs pass.
bool WaitUntil(const std::function<bool()>& done, DWORD boundMs = 30000);

// The folder of this test program, with a trailing backslash.
std::wstring TestProgramFolder();
// A fresh file name in the temporary folder: prefix + process id + counter + suffix.
std::wstring TempFileName(const wchar_t* prefix, const wchar_t* suffix);
// The whole content of a text file, or "" when it cannot be read.
std::string ReadTextFile(const std::wstring& path);
bool WriteTextFile(const std::wstring& path, const std::string& text);

// A replay scenario for the sensor library: one CPU at a steady temperature.
std::wstring WriteSensorReplay(double cpuCelsius);

// Environment of the program and the dialog under test: nothing reaches a
// real update server, the sensors come from the replay file.
inline constexpr wchar_t kDeadUpdateServer[] = L"http://127.0.0.1:9";

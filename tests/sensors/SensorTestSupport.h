#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "SensorTrace.h"

// Keeps the trace lines of a pass.
class CollectTrace : public SensorTrace {
public:
    void Line(const std::string& text) override { lines.push_back(text); }
    std::vector<std::string> lines;
};

// A replay scenario in a file of its own, named by the library's environment
// variable while the object lives.
class ScenarioFile {
public:
    explicit ScenarioFile(const std::string& text);
    ~ScenarioFile();
    ScenarioFile(const ScenarioFile&) = delete;
    ScenarioFile& operator=(const ScenarioFile&) = delete;
    const std::wstring& Path() const { return path_; }

private:
    std::wstring path_;
};

// A fresh empty folder under the temp folder, removed with its contents.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::wstring& Path() const { return path_; }
    // Writes a file (creating folders on the way); relative path with backslashes.
    void Write(const std::wstring& relative, const std::string& text) const;

private:
    std::wstring path_;
};

// A name no other test process uses at the same time.
std::wstring UniqueName(const wchar_t* prefix);
std::string UniqueNarrowName(const char* prefix);

// The folder of the running test program (where the built DLLs and tools lie).
std::wstring ProgramFolder();

struct ProcessResult {
    DWORD exitCode = 0;
    std::string out;
};
// Runs a program of the build folder with the given arguments and collects its
// standard output.
ProcessResult RunTool(const std::wstring& exe, const std::wstring& args);

// A tool that keeps running until its standard input is closed.
class HeldProcess {
public:
    HeldProcess(const std::wstring& exe, const std::wstring& args);
    ~HeldProcess();
    HeldProcess(const HeldProcess&) = delete;
    HeldProcess& operator=(const HeldProcess&) = delete;
    // Reads output until a line containing `marker` arrived (or the output ended).
    bool WaitForLine(const std::string& marker);
    // Closes its input and waits for it to end.
    ProcessResult Finish();
    const std::string& Output() const { return out_; }

private:
    HANDLE process_ = nullptr;
    HANDLE inWrite_ = nullptr;
    HANDLE outRead_ = nullptr;
    std::string out_;
};

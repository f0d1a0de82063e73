#pragma once
#include <taskschd.h>

#include <cstdio>
#include <string>

// The logon task "GLIMRA StartupTask" that starts the program hidden, with the
// highest run level, five seconds after each logon. Failures go to stderr only.

inline constexpr wchar_t kStartupTaskName[] = L"GLIMRA StartupTask";

// Creates the Task Scheduler service object (CoCreateInstance, in-process).
using TaskServiceFactory = HRESULT (*)(ITaskService** service);
HRESULT CreateTaskSchedulerService(ITaskService** service);

// Creates or updates the task for GetModulePath() + "Vantrel Glimra.exe".
// 0 when the task was submitted (also when the registration itself failed),
// 1 when an earlier step failed. UI thread (initialises COM on the calling thread).
int RegisterStartupTask();
// The same with the service, the program path and the error stream given.
int RegisterStartupTask(TaskServiceFactory factory, const std::wstring& programPath, FILE* err);

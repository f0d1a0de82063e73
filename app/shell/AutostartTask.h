#pragma once
#include <windows.h>
#include <taskschd.h>

#include <cstdio>
#include <string>

// The logon task "GLIMRA StartupTask" that starts the program hidden, with the
// highest run level, five seconds after each logon. Failures go to stderr only.

inline constexpr wchar_t kStartupTaskName[] = L"GLIMRA StartupTask";

// Creates the Task Scheduler service object (CoCreateInstance, in-process).
using TaskServiceFactory = HRESULT (*)(ITaskService** service);
HRESULT CreateTaskSchedulerService(ITaskService** service);

// What is said on the error stream when the program's folder is not protected.
inline constexpr char kUnprotectedFolderText[] =
    "The program folder can be written by users who are not administrators: the logon task, which would start "
    "this program with the highest rights, is not registered.\n";

// Creates or updates the task for GetModulePath() + "Vantrel Glimra.exe", once
// the program folder's descriptor shows that only administrators can write it.
// 0 when the task was submitted (also when the registration itself failed),
// 1 when an earlier step failed or the folder is not protected. UI thread
// (initialises COM on the calling thread).
int RegisterStartupTask();
// The same for a program whose folder has the descriptor folderSecurity
// (null: it could not be read, which counts as not protected).
int RegisterStartupTaskFrom(PSECURITY_DESCRIPTOR folderSecurity, TaskServiceFactory factory,
                            const std::wstring& programPath, FILE* err);
// The same with the service, the program path and the error stream given.
int RegisterStartupTask(TaskServiceFactory factory, const std::wstring& programPath, FILE* err);

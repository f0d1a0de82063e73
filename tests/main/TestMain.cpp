// The entry point of every test program. A crash on any thread, an exception
// that reaches std::terminate or a worker that ends the process early must fail
// the run: under Wine only the faulting thread would wait for a debugger while
// the main thread goes on, prints PASSED and exits 0.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <exception>

namespace {

// Not 0 and not 1 (a failed case): a run that ended this way did not finish.
constexpr UINT kCrashExitCode = 3;

[[noreturn]] void EndProcess()
{
    std::fflush(stdout);
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), kCrashExitCode);
    ExitProcess(kCrashExitCode);  // not reached
}

// Any thread: the system calls it on the faulting thread, which then ends the
// whole process before another thread can report success.
LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* info)
{
    const EXCEPTION_RECORD* record = info ? info->ExceptionRecord : nullptr;
    std::fprintf(stderr, "\nCRASH: unhandled exception 0x%08lx at %p on thread %lu; the test program ends\n",
                 record ? static_cast<unsigned long>(record->ExceptionCode) : 0ul,
                 record ? record->ExceptionAddress : nullptr, GetCurrentThreadId());
    EndProcess();
}

// Any thread.
[[noreturn]] void OnTerminate()
{
    const char* what = "no exception";
    std::exception_ptr current = std::current_exception();
    if (current) {
        try {
            std::rethrow_exception(current);
        } catch (const std::exception& e) {
            what = e.what();
        } catch (...) {
            what = "an exception not derived from std::exception";
        }
    }
    std::fprintf(stderr, "\nCRASH: std::terminate (%s) on thread %lu; the test program ends\n", what,
                 GetCurrentThreadId());
    EndProcess();
}

}  // namespace

int main(int argc, char** argv)
{
    SetUnhandledExceptionFilter(OnUnhandledException);
    std::set_terminate(OnTerminate);
    // No error boxes: a crash ends the process instead of waiting for a click.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    ::testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}

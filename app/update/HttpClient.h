#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

// Plain GETs to the update server through WinINet: a small text file into
// memory, or a package into a file. Calls block; a worker thread makes them.
//
// Return codes of both operations: 1 success; 0 the internet handle could not
// be opened; kCancelled when the cancel check said so; -1 anything else
// (unreachable host, refused TLS, an HTTP status outside 2xx, a failed or
// timed-out read, a body shorter than its Content-Length, a body over the cap,
// a transfer past its overall deadline).
class HttpClient {
public:
    // Progress message that DownloadFile posts (wParam 0, lParam 0..100).
    static constexpr UINT kProgressMessage = 1690;
    static constexpr DWORD kChunkBytes = 10240;
    // A version file is a few bytes: anything longer is not one.
    static constexpr size_t kMaxStringBytes = 4096;
    // A stalled server must not hold the worker (and the cooler's display) for
    // long: connect and each receive are bounded, and a text fetch as a whole.
    static constexpr DWORD kConnectTimeoutMs = 10000;
    static constexpr DWORD kReceiveTimeoutMs = 10000;
    static constexpr DWORD kStringDeadlineMs = 30000;
    // A hostile mirror must neither fill the disk nor trickle for ever: a
    // download stops at its byte cap and at its overall deadline.
    static constexpr uint64_t kMaxDownloadBytes = 256ull << 20;
    static constexpr DWORD kDownloadDeadlineMs = 30 * 60 * 1000;
    static constexpr int kCancelled = -2;

    struct DownloadLimits {
        uint64_t maxBytes = kMaxDownloadBytes;
        DWORD deadlineMs = kDownloadDeadlineMs;
    };

    // Checked before each wait for data of either operation (and so at least
    // once per receive bound, also while a body trickles in); true stops the
    // transfer with kCancelled. Called on the thread that makes the transfer.
    void SetCancelCheck(std::function<bool()> cancelled) { cancelled_ = std::move(cancelled); }

    // On 1, text = the body decoded from UTF-8; otherwise text is unchanged.
    int GetString(const std::wstring& url, std::wstring& text);
    // Writes the body to path. On -1 and kCancelled nothing this call wrote
    // is left at path; on 0 (no internet handle) the path is not touched, so
    // an older file there stays.
    // Posts progress to window when it is not null.
    int DownloadFile(const std::wstring& url, const std::wstring& path, HWND window);
    int DownloadFile(const std::wstring& url, const std::wstring& path, HWND window, const DownloadLimits& limits);

    int LastProgress() const { return lastProgress; }

private:
    void PostProgress(HWND window, int progress);
    bool Cancelled() const { return cancelled_ && cancelled_(); }

    // The last progress value posted; kept from one download to the next.
    int lastProgress = 0;
    std::function<bool()> cancelled_;
};

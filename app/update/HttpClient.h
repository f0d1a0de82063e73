#pragma once
#include <windows.h>

#include <string>

// Plain GETs to the update server through WinINet: a small text file into
// memory, or a package into a file. Calls block; the device worker makes them.
//
// Return codes of both operations: 1 success; 0 the internet handle could not
// be opened; -1 anything else (unreachable host, refused TLS, an HTTP status
// outside 2xx, a failed or timed-out read, a body shorter than its
// Content-Length, and for GetString a body over kMaxStringBytes).
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

    // On 1, text = the body decoded from UTF-8; otherwise text is unchanged.
    int GetString(const std::wstring& url, std::wstring& text);
    // Writes the body to path. On anything but 1 no file is left at path.
    // Posts progress to window when it is not null.
    int DownloadFile(const std::wstring& url, const std::wstring& path, HWND window);

    int LastProgress() const { return lastProgress; }

private:
    void PostProgress(HWND window, int progress);

    // The last progress value posted; kept from one download to the next.
    int lastProgress = 0;
};

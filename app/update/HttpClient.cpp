#include "HttpClient.h"

#include <shlwapi.h>
#include <wininet.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "UniqueResource.h"

namespace {

constexpr char kUserAgent[] = "IIC2.0/PC 5.5.0000";
constexpr char kAcceptHeader[] = "Accept: */*\r\n\r\n";
constexpr DWORD kOpenFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE;
static_assert(kOpenFlags == 0x84000100);


std::string ToUtf8(const std::wstring& text)
{
    if (text.empty())
        return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                      nullptr);
    std::string out(n > 0 ? n : 0, '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring FromUtf8(const std::string& bytes)
{
    if (bytes.empty())
        return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring out(n > 0 ? n : 0, L'\0');
    if (n > 0)
        MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), out.data(), n);
    return out;
}

// The internet handle: the system's proxy settings when the connection goes
// through a proxy, else the same without auto-detection (which can take long).
UniqueInternet OpenInternet()
{
    DWORD flags = 0;
    InternetGetConnectedState(&flags, 0);
    const DWORD access = (flags & INTERNET_CONNECTION_PROXY) ? INTERNET_OPEN_TYPE_PRECONFIG
                                                             : INTERNET_OPEN_TYPE_PRECONFIG_WITH_NO_AUTOPROXY;
    char agent[64] = {};
    lstrcpynA(agent, kUserAgent, sizeof agent);
    UniqueInternet internet(InternetOpenA(agent, access, nullptr, nullptr, 0));
    if (internet) {
        DWORD connect = HttpClient::kConnectTimeoutMs;
        InternetSetOptionA(internet.get(), INTERNET_OPTION_CONNECT_TIMEOUT, &connect, sizeof connect);
    }
    return internet;
}

// One GET: the connection and its request.
struct Request {
    UniqueInternet connection;
    UniqueInternet request;
    explicit operator bool() const { return static_cast<bool>(request); }
    HINTERNET get() const { return request.get(); }
};

// Sends the GET and returns it, or an empty Request when it cannot be sent or
// the server answered with anything but a 2xx status (an error page is not
// the file). The request is opened and sent in separate steps, not through
// InternetOpenUrlA, so that the receive bound is on it before it is sent: a
// socket's receive bound is taken when the request goes out.
Request OpenUrl(const UniqueInternet& internet, const std::wstring& url)
{
    const std::string utf8 = ToUtf8(url);
    char host[INTERNET_MAX_HOST_NAME_LENGTH] = {};
    std::string path(INTERNET_MAX_URL_LENGTH, '\0');
    std::string extra(INTERNET_MAX_URL_LENGTH, '\0');
    URL_COMPONENTSA parts{};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host;
    parts.dwHostNameLength = sizeof host;
    parts.lpszUrlPath = path.data();
    parts.dwUrlPathLength = static_cast<DWORD>(path.size());
    parts.lpszExtraInfo = extra.data();
    parts.dwExtraInfoLength = static_cast<DWORD>(extra.size());
    if (!InternetCrackUrlA(utf8.c_str(), 0, 0, &parts) ||
        (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS))
        return {};
    path.resize(parts.dwUrlPathLength);
    extra.resize(parts.dwExtraInfoLength);

    Request r;
    r.connection.reset(
        InternetConnectA(internet.get(), host, parts.nPort, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    if (!r.connection)
        return {};
    const DWORD flags = kOpenFlags | (parts.nScheme == INTERNET_SCHEME_HTTPS ? INTERNET_FLAG_SECURE : 0);
    r.request.reset(HttpOpenRequestA(r.connection.get(), "GET", (path + extra).c_str(), nullptr, nullptr, nullptr,
                                     flags, 0));
    if (!r.request)
        return {};
    DWORD connect = HttpClient::kConnectTimeoutMs;
    DWORD receive = HttpClient::kReceiveTimeoutMs;
    InternetSetOptionA(r.get(), INTERNET_OPTION_CONNECT_TIMEOUT, &connect, sizeof connect);
    InternetSetOptionA(r.get(), INTERNET_OPTION_SEND_TIMEOUT, &receive, sizeof receive);
    InternetSetOptionA(r.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &receive, sizeof receive);
    if (!HttpSendRequestA(r.get(), kAcceptHeader, static_cast<DWORD>(sizeof kAcceptHeader - 1), nullptr, 0))
        return {};

    DWORD status = 0;
    DWORD size = sizeof status;
    if (!HttpQueryInfoW(r.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr) ||
        status < 200 || status > 299)
        return {};
    return r;
}

// Content-Length, or 0 when the server sent none (chunked or close-delimited).
DWORD ContentLength(const Request& request)
{
    DWORD length = 0;
    DWORD size = sizeof length;
    if (!HttpQueryInfoW(request.get(), HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &length, &size, nullptr))
        return 0;
    return length;
}

enum class ChunkRead { Data, Failed, Stopped };

// Fills buffer as InternetReadFile would (size bytes, fewer only at the end of
// the body), but waits each time only for what has arrived, and asks stop()
// before each wait: a body that trickles in, a byte now and then, cannot hold
// the caller past its deadline or its cancel check.
template <typename Stop>
ChunkRead ReadChunk(HINTERNET request, char* buffer, DWORD size, DWORD& read, Stop stop)
{
    read = 0;
    while (read < size) {
        if (stop())
            return ChunkRead::Stopped;
        DWORD available = 0;
        if (!InternetQueryDataAvailable(request, &available, 0, 0))
            return ChunkRead::Failed;
        if (available == 0)
            break;
        DWORD got = 0;
        if (!InternetReadFile(request, buffer + read, std::min(available, size - read), &got))
            return ChunkRead::Failed;
        if (got == 0)
            break;
        read += got;
    }
    return ChunkRead::Data;
}

// A body that ends before its announced length was cut off.
bool Complete(DWORD contentLength, uint64_t received)
{
    return contentLength == 0 || received == contentLength;
}

}  // namespace

int HttpClient::GetString(const std::wstring& url, std::wstring& text)
{
    const UniqueInternet internet = OpenInternet();
    if (!internet)
        return 0;
    const Request request = OpenUrl(internet, url);
    if (!request)
        return -1;
    const DWORD contentLength = ContentLength(request);

    const ULONGLONG deadline = GetTickCount64() + kStringDeadlineMs;
    const auto stop = [&] { return Cancelled() || GetTickCount64() > deadline; };
    std::string body;
    std::vector<char> chunk(kChunkBytes);
    for (;;) {
        DWORD read = 0;
        std::fill(chunk.begin(), chunk.end(), '\0');
        const ChunkRead result = ReadChunk(request.get(), chunk.data(), kChunkBytes, read, stop);
        if (result == ChunkRead::Stopped)
            return Cancelled() ? kCancelled : -1;
        if (result == ChunkRead::Failed)
            return -1;
        if (read == 0)
            break;
        body.append(chunk.data(), read);
        if (body.size() > kMaxStringBytes)
            return -1;
    }
    if (!Complete(contentLength, body.size()))
        return -1;
    text = FromUtf8(body);
    return 1;
}

void HttpClient::PostProgress(HWND window, int progress)
{
    if (window == nullptr || progress == lastProgress)
        return;
    lastProgress = progress;
    PostMessageW(window, kProgressMessage, 0, progress);
}

int HttpClient::DownloadFile(const std::wstring& url, const std::wstring& path, HWND window)
{
    return DownloadFile(url, path, window, DownloadLimits{});
}

int HttpClient::DownloadFile(const std::wstring& url, const std::wstring& path, HWND window,
                             const DownloadLimits& limits)
{
    const ULONGLONG deadline = GetTickCount64() + limits.deadlineMs;
    PostProgress(window, 0);
    const UniqueInternet internet = OpenInternet();
    if (!internet)
        return 0;
    PostProgress(window, 2);
    // An older file at the path must not pass for this download if it fails.
    if (PathFileExistsW(path.c_str()))
        DeleteFileW(path.c_str());
    const Request request = OpenUrl(internet, url);
    if (!request)
        return -1;
    PostProgress(window, 8);

    const DWORD contentLength = ContentLength(request);
    if (contentLength > limits.maxBytes)
        return -1;
    // A new file only: whatever still stands at the path (a link included) is
    // not written through. Nobody else writes it while it is filled.
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return -1;
    // A part of a package is no package: on failure the file goes.
    auto fail = [&](int rc) {
        file.reset();
        DeleteFileW(path.c_str());
        return rc;
    };

    const DWORD chunks = contentLength / kChunkBytes;
    PostProgress(window, 10);

    const auto stop = [&] { return Cancelled() || GetTickCount64() > deadline; };
    uint64_t received = 0;
    std::vector<char> chunk(kChunkBytes);
    for (;;) {
        DWORD read = 0;
        const ChunkRead result = ReadChunk(request.get(), chunk.data(), kChunkBytes, read, stop);
        if (result == ChunkRead::Stopped)
            return fail(Cancelled() ? kCancelled : -1);
        if (result == ChunkRead::Failed)
            return fail(-1);
        if (read == 0)
            break;
        received += read;
        if (received > limits.maxBytes)
            return fail(-1);
        DWORD written = 0;
        if (!WriteFile(file.get(), chunk.data(), read, &written, nullptr) || written != read)
            return fail(-1);
        if (chunks != 0)
            PostProgress(window, static_cast<int>(10 + 90 * received / contentLength));
    }
    if (!Complete(contentLength, received))
        return fail(-1);
    file.reset();
    PostProgress(window, 100);
    return 1;
}

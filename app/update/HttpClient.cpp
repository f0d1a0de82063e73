#include "HttpClient.h"

#include <shlwapi.h>
#include <wininet.h>

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
        DWORD receive = HttpClient::kReceiveTimeoutMs;
        InternetSetOptionA(internet.get(), INTERNET_OPTION_CONNECT_TIMEOUT, &connect, sizeof connect);
        InternetSetOptionA(internet.get(), INTERNET_OPTION_SEND_TIMEOUT, &receive, sizeof receive);
        InternetSetOptionA(internet.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &receive, sizeof receive);
    }
    return internet;
}

// The request, or an empty handle when it cannot be opened or the server
// answered with anything but a 2xx status (an error page is not the file).
UniqueInternet OpenUrl(const UniqueInternet& internet, const std::wstring& url)
{
    const std::string utf8 = ToUtf8(url);
    UniqueInternet request(InternetOpenUrlA(internet.get(), utf8.c_str(), kAcceptHeader,
                                            static_cast<DWORD>(sizeof kAcceptHeader - 1), kOpenFlags, 0));
    if (!request)
        return request;
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!HttpQueryInfoW(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr) ||
        status < 200 || status > 299) {
        request.reset();
    }
    return request;
}

// Content-Length, or 0 when the server sent none (chunked or close-delimited).
DWORD ContentLength(const UniqueInternet& request)
{
    DWORD length = 0;
    DWORD size = sizeof length;
    if (!HttpQueryInfoW(request.get(), HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &length, &size, nullptr))
        return 0;
    return length;
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
    const UniqueInternet request = OpenUrl(internet, url);
    if (!request)
        return -1;
    const DWORD contentLength = ContentLength(request);

    const ULONGLONG deadline = GetTickCount64() + kStringDeadlineMs;
    std::string body;
    std::vector<char> chunk(kChunkBytes);
    for (;;) {
        DWORD read = 0;
        std::fill(chunk.begin(), chunk.end(), '\0');
        if (!InternetReadFile(request.get(), chunk.data(), kChunkBytes, &read))
            return -1;
        if (read == 0)
            break;
        body.append(chunk.data(), read);
        if (body.size() > kMaxStringBytes || GetTickCount64() > deadline)
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
    PostProgress(window, 0);
    const UniqueInternet internet = OpenInternet();
    if (!internet)
        return 0;
    PostProgress(window, 2);
    // An older file at the path must not pass for this download if it fails.
    if (PathFileExistsW(path.c_str()))
        DeleteFileW(path.c_str());
    const UniqueInternet request = OpenUrl(internet, url);
    if (!request)
        return -1;
    PostProgress(window, 8);

    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return -1;
    // A part of a package is no package: on failure the file goes.
    auto fail = [&] {
        file.reset();
        DeleteFileW(path.c_str());
        return -1;
    };

    const DWORD contentLength = ContentLength(request);
    const DWORD chunks = contentLength / kChunkBytes;
    PostProgress(window, 10);

    uint64_t received = 0;
    std::vector<char> chunk(kChunkBytes);
    for (;;) {
        DWORD read = 0;
        if (!InternetReadFile(request.get(), chunk.data(), kChunkBytes, &read))
            return fail();
        if (read == 0)
            break;
        DWORD written = 0;
        if (!WriteFile(file.get(), chunk.data(), read, &written, nullptr) || written != read)
            return fail();
        received += read;
        if (chunks != 0)
            PostProgress(window, static_cast<int>(10 + 90 * received / contentLength));
    }
    if (!Complete(contentLength, received))
        return fail();
    file.reset();
    PostProgress(window, 100);
    return 1;
}

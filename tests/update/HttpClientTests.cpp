// HttpClient against the local HTTPS update server (GLIMRA_UPDATE_SERVER, set
// by the launcher): return codes, texts, files and progress posts for a
// well-behaved server and for each way it can misbehave.
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "HttpClient.h"
#include "TestWindow.h"
#include "UpdateServer.h"

namespace {

std::wstring Server()
{
    return UpdateServerBaseUrl();
}

std::string Utf8(const std::wstring& text)
{
    std::string out;
    for (wchar_t c : text)
        out.push_back(static_cast<char>(c));
    return out;
}

// The server's pattern: byte i is i % 251.
bool IsPattern(const std::string& data)
{
    for (size_t i = 0; i < data.size(); ++i) {
        if (static_cast<unsigned char>(data[i]) != i % 251)
            return false;
    }
    return true;
}

std::wstring TempPath(const wchar_t* name)
{
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    return std::wstring(folder) + L"glimra-http-" + std::to_wstring(GetCurrentProcessId()) + L"-" + name;
}

bool FileExists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void WriteAll(const std::wstring& path, const std::string& data)
{
    std::ofstream(path.c_str(), std::ios::binary) << data;
}

std::string ReadAll(const std::wstring& path)
{
    std::ifstream in(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A message-only window of this thread that the progress posts go to.
class ProgressSink {
public:
    HWND Window() const { return window_.get(); }
    // The progress values posted since the last call, in order.
    std::vector<int> Take()
    {
        std::vector<int> values;
        MSG msg;
        while (PeekMessageW(&msg, window_.get(), HttpClient::kProgressMessage, HttpClient::kProgressMessage, PM_REMOVE)) {
            EXPECT_EQ(msg.wParam, 0u);
            values.push_back(static_cast<int>(msg.lParam));
        }
        return values;
    }

private:
    TestWindow window_{{.className = L"ProgressSink", .parent = HWND_MESSAGE}};
};

struct TextCase {
    const wchar_t* path;
    int rc;
    const wchar_t* text;  // null: left unchanged
};

TEST(HttpClient, GetStringTakesOnlyACompleteSmallSuccessfulBody)
{
    const TextCase cases[] = {
        {L"/t51c/software/version", 1, L"1.0.2.0"},
        {L"/fault/text/1.0.10.100", 1, L"1.0.10.100"},    // 10 characters
        {L"/fault/text/1.0.10.1000", 1, L"1.0.10.1000"},  // 11: the client takes it, the policy does not
        {L"/fault/text/%C3%BCber", 1, L"\u00fcber"},       // the body is UTF-8
        {L"/fault/text/\u00fcber", 1, L"\u00fcber"},       // and so is the address
        {L"/fault/empty", 1, L""},
        {L"/fault/trickle/1.0.3", 1, L"1.0.3"},            // slow but never silent for long
        {L"/fault/status/404", -1, nullptr},               // "Not Found" is no version
        {L"/fault/status/500", -1, nullptr},
        {L"/fault/cut/2000", -1, nullptr},
        {L"/fault/reset/2000", -1, nullptr},
        {L"/fault/bytes/4096", 1, nullptr},                // the cap itself
        {L"/fault/bytes/4097", -1, nullptr},
        {L"/fault/bytes/50000000", -1, nullptr},           // stops early instead of collecting it
        {L"/no/such/file", -1, nullptr},
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(Utf8(c.path));
        std::wstring text = L"unchanged";
        EXPECT_EQ(HttpClient().GetString(Server() + c.path, text), c.rc);
        if (c.rc == 1 && c.text != nullptr)
            EXPECT_EQ(text, c.text);
        if (c.rc != 1)
            EXPECT_EQ(text, L"unchanged");
    }
    // No Content-Length: the body ends when the server closes.
    std::wstring text;
    ASSERT_EQ(HttpClient().GetString(Server() + L"/fault/nolength/100", text), 1);
    ASSERT_EQ(text.size(), 100u);
    for (size_t i = 0; i < text.size(); ++i)
        ASSERT_EQ(text[i], static_cast<wchar_t>(i));
}

TEST(HttpClient, RequestsCarryTheFixedAgentAcceptHeaderAndNoCache)
{
    std::wstring text;
    ASSERT_EQ(HttpClient().GetString(Server() + L"/fault/text/x", text), 1);
    ASSERT_EQ(HttpClient().GetString(Server() + L"/_control/last", text), 1);
    EXPECT_NE(text.find(L"GET /fault/text/x HTTP/1.1"), std::wstring::npos) << Utf8(text);
    EXPECT_NE(text.find(L"\nUser-Agent: IIC2.0/PC 5.5.0000\n"), std::wstring::npos) << Utf8(text);
    EXPECT_NE(text.find(L"\nAccept: */*\n"), std::wstring::npos) << Utf8(text);
    EXPECT_NE(text.find(L"\nPragma: no-cache\n"), std::wstring::npos) << Utf8(text);
}

TEST(HttpClient, UnreachableServerFails)
{
    std::wstring text = L"unchanged";
    EXPECT_EQ(HttpClient().GetString(L"https://localhost:1/t51c/software/version", text), -1);
    EXPECT_EQ(text, L"unchanged");
}

TEST(HttpClient, StalledServerFailsOnceTheReceiveBoundPasses)
{
    // Headers, then silence.
    std::wstring text = L"unchanged";
    EXPECT_EQ(HttpClient().GetString(Server() + L"/fault/stall/100", text), -1);
    EXPECT_EQ(text, L"unchanged");
    const std::wstring file = TempPath(L"stalled.bin");
    EXPECT_EQ(HttpClient().DownloadFile(Server() + L"/fault/stall/100000", file, nullptr), -1);
    EXPECT_FALSE(FileExists(file));
}

struct DownloadCase {
    const wchar_t* path;
    int rc;
    size_t size;               // of the file on 1
    std::vector<int> progress;  // after a download that ended at 100
};

TEST(HttpClient, DownloadFileWritesTheBodyOrLeavesNoFileAndPostsProgress)
{
    const DownloadCase cases[] = {
        // Under one chunk: no per-chunk progress.
        {L"/fault/bytes/5000", 1, 5000, {0, 2, 8, 10, 100}},
        // Three chunks of 10240 bytes: 10 + 90 x received / length per chunk.
        {L"/fault/bytes/30000", 1, 30000, {0, 2, 8, 10, 40, 71, 100}},
        // No Content-Length: no chunk count, no per-chunk progress.
        {L"/fault/nolength/30000", 1, 30000, {0, 2, 8, 10, 100}},
        {L"/fault/empty", 1, 0, {0, 2, 8, 10, 100}},
        {L"/fault/status/404", -1, 0, {0, 2}},
        {L"/fault/status/500", -1, 0, {0, 2}},
        {L"/fault/cut/30000", -1, 0, {0, 2, 8, 10, 40}},
        {L"/fault/reset/30000", -1, 0, {0, 2, 8, 10, 40}},
    };
    ProgressSink sink;
    const std::wstring file = TempPath(L"download.bin");
    for (const DownloadCase& c : cases) {
        SCOPED_TRACE(Utf8(c.path));
        // Each case starts after a complete download, so its first post is 0.
        HttpClient client;
        ASSERT_EQ(client.DownloadFile(Server() + L"/fault/bytes/10", file, sink.Window()), 1);
        sink.Take();
        WriteAll(file, "an older package");

        EXPECT_EQ(client.DownloadFile(Server() + c.path, file, sink.Window()), c.rc);
        if (c.rc == 1) {
            const std::string data = ReadAll(file);
            EXPECT_EQ(data.size(), c.size);
            EXPECT_TRUE(IsPattern(data));
        } else {
            EXPECT_FALSE(FileExists(file)) << "a failed download left a file";
        }
        const std::vector<int> posted = sink.Take();
        if (c.rc == 1) {
            EXPECT_EQ(posted, c.progress);
        } else {
            // A cut-off body may be noticed after any chunk: the posts start as listed and stop short of 100.
            ASSERT_GE(posted.size(), 2u);
            EXPECT_EQ(std::vector<int>(posted.begin(), posted.begin() + 2), std::vector<int>({0, 2}));
            EXPECT_NE(posted.back(), 100);
        }
    }
    DeleteFileW(file.c_str());
}

struct BoundCase {
    const wchar_t* path;
    HttpClient::DownloadLimits limits;
    int cancelAfterChecks;  // the cancel check says yes from this call on; 0 never
    int rc;
};

TEST(HttpClient, DownloadsStopAtTheirCapTheirDeadlineOrWhenCancelled)
{
    const BoundCase cases[] = {
        {L"/fault/bytes/30000", {30000, HttpClient::kDownloadDeadlineMs}, 0, 1},
        {L"/fault/bytes/30000", {29999, HttpClient::kDownloadDeadlineMs}, 0, -1},     // announced over the cap
        {L"/fault/nolength/30000", {20000, HttpClient::kDownloadDeadlineMs}, 0, -1},  // found over it while reading
        {L"/fault/trickle/abcdefghijklmnopqrst", {100, 2000}, 0, -1},                 // never silent, never done
        {L"/fault/bytes/30000", {}, 1, HttpClient::kCancelled},
        {L"/fault/bytes/30000", {}, 2, HttpClient::kCancelled},                       // between two chunks
    };
    const std::wstring file = TempPath(L"bounded.bin");
    for (const BoundCase& c : cases) {
        SCOPED_TRACE(Utf8(c.path) + " cap " + std::to_string(c.limits.maxBytes));
        HttpClient client;
        int checks = 0;
        client.SetCancelCheck([&] { return c.cancelAfterChecks != 0 && ++checks >= c.cancelAfterChecks; });
        const ULONGLONG started = GetTickCount64();
        EXPECT_EQ(client.DownloadFile(Server() + c.path, file, nullptr, c.limits), c.rc);
        // The trickled body takes 20 s: a deadline of 2 s ends it between two bytes.
        if (c.limits.deadlineMs < HttpClient::kDownloadDeadlineMs)
            EXPECT_LT(GetTickCount64() - started, 15000u);
        EXPECT_EQ(FileExists(file), c.rc == 1);
        DeleteFileW(file.c_str());
    }
    HttpClient client;
    client.SetCancelCheck([] { return true; });
    std::wstring text = L"unchanged";
    EXPECT_EQ(client.GetString(Server() + L"/fault/text/1.0.3.0", text), HttpClient::kCancelled);
    EXPECT_EQ(text, L"unchanged");
}

TEST(HttpClient, ProgressPostsOnlyChangesAndRemembersTheLastAcrossDownloads)
{
    ProgressSink sink;
    const std::wstring file = TempPath(L"twice.bin");
    HttpClient client;
    EXPECT_EQ(client.DownloadFile(Server() + L"/fault/bytes/30000", file, sink.Window()), 1);
    EXPECT_EQ(sink.Take(), std::vector<int>({2, 8, 10, 40, 71, 100}));  // 0 is where it starts
    EXPECT_EQ(client.DownloadFile(Server() + L"/fault/bytes/30000", file, sink.Window()), 1);
    EXPECT_EQ(sink.Take(), std::vector<int>({0, 2, 8, 10, 40, 71, 100}));
    // Without a window nothing is posted and nothing is remembered.
    EXPECT_EQ(client.DownloadFile(Server() + L"/fault/bytes/30000", file, nullptr), 1);
    EXPECT_EQ(client.LastProgress(), 100);
    EXPECT_TRUE(sink.Take().empty());
    DeleteFileW(file.c_str());
}

TEST(HttpClient, PackageDownloadsThroughTheThreeSlashAddress)
{
    const std::wstring file = TempPath(L"Software-1.0.2.0.zip");
    HttpClient client;
    EXPECT_EQ(client.DownloadFile(Server() + L"/t51c/software///Software-1.0.2.0.zip", file, nullptr), 1);
    EXPECT_EQ(ReadAll(file).substr(0, 2), "PK");
    DeleteFileW(file.c_str());
    EXPECT_EQ(client.DownloadFile(Server() + L"/t51c/software///Software-9.9.9.9.zip", file, nullptr), -1);
    EXPECT_FALSE(FileExists(file));
}

}  // namespace

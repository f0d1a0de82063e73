// Where the update service asks: what a release program and a test build take
// from the environment and from an administrator's mirror setting.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "UpdateServer.h"

namespace {

struct Choice {
    bool developer;
    const wchar_t* environment;
    const wchar_t* machine;
    const wchar_t* expected;
};

TEST(UpdateServer, ReleaseTakesOnlyTheBuiltInAddressOrAnHttpsMirror)
{
    const std::wstring builtIn = kDefaultUpdateServer;
    const Choice choices[] = {
        {false, L"", L"", builtIn.c_str()},
        {false, L"http://evil.example", L"", builtIn.c_str()},
        {false, L"https://evil.example", L"", builtIn.c_str()},
        {false, L"", L"https://mirror.example.com/updates/", L"https://mirror.example.com/updates"},
        {false, L"", L"HTTPS://Mirror.Example.com", L"HTTPS://Mirror.Example.com"},
        {false, L"", L"http://mirror.example.com", builtIn.c_str()},
        {false, L"", L"file:///C:/updates", builtIn.c_str()},
        {false, L"", L"https://", builtIn.c_str()},
        {false, L"", L"https:///path", builtIn.c_str()},
        {false, L"", L"\\\\server\\share", builtIn.c_str()},
        {true, L"http://127.0.0.1:8443/", L"", L"http://127.0.0.1:8443"},
        {true, L"https://localhost:8443", L"https://mirror.example.com", L"https://localhost:8443"},
        {true, L"", L"https://mirror.example.com", L"https://mirror.example.com"},
        {true, L"", L"", builtIn.c_str()},
    };
    for (const Choice& c : choices) {
        EXPECT_EQ(ChooseUpdateServer(c.developer, c.environment, c.machine), c.expected)
            << "developer " << c.developer << ", environment \"" << testing::PrintToString(std::wstring(c.environment))
            << "\", machine " << testing::PrintToString(std::wstring(c.machine));
    }
}

TEST(UpdateServer, TestBuildsFollowTheEnvironment)
{
    SetEnvironmentVariableW(kUpdateServerVariable, L"https://localhost:9/");
    EXPECT_EQ(SoftwareUpdateUrl(), L"https://localhost:9/t51c/software/");
    SetEnvironmentVariableW(kUpdateServerVariable, nullptr);
    EXPECT_EQ(SoftwareUpdateUrl(), std::wstring(kDefaultUpdateServer) + L"/t51c/software/");
}

}  // namespace

#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "ComPtr.h"
#include "WmiConnector.h"

// One property of a WMI object: text (UTF-8) or a number, or absent (NULL).
struct WmiValue {
    bool present = false;
    bool isText = false;
    std::string text;
    double number = 0.0;
};
using WmiRow = std::vector<WmiValue>;  // in the order the properties were asked for

// A WMI namespace with its connection cached. A namespace that is not there
// (the monitoring program does not run), or a query it refused (a class this
// machine does not support), is asked again only every kRetryMs, so passes do
// not pay for the same failure again and again; a lost connection is made
// again on the next query.
class WmiNamespace {
public:
    static constexpr ULONGLONG kRetryMs = 30000;
    // How long one query may take to deliver its objects before it is given up.
    static constexpr long kQueryTimeoutMs = 1000;

    WmiNamespace(WmiConnector& connector, std::wstring name) : connector_(connector), name_(std::move(name)) {}

    // Runs a WQL query; false with `why` ("not running", "refused, ...") when
    // the namespace or class is absent, refused or slow. `now` in milliseconds.
    // A failed query holds the namespace's queries off for kRetryMs unless
    // `optional` (a query whose failure changes nothing).
    bool Select(const wchar_t* wql, const std::vector<const wchar_t*>& properties, std::vector<WmiRow>& rows,
                std::string& why, ULONGLONG now, bool optional = false);

    // What an HRESULT from WMI means to the user.
    static std::string Explain(HRESULT hr);

private:
    bool Query(const wchar_t* wql, const std::vector<const wchar_t*>& properties, std::vector<WmiRow>& rows, std::string& why);

    WmiConnector& connector_;
    const std::wstring name_;
    ComPtr<IWbemServices> services_;
    bool attempted_ = false;
    ULONGLONG lastAttempt_ = 0;
    std::string connectWhy_;
    bool queryFailed_ = false;
    ULONGLONG queryFailedAt_ = 0;
    std::string queryWhy_;
};

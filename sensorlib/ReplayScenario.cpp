#include "ReplayScenario.h"

#include <windows.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "UniqueResource.h"

namespace {

struct Token {
    std::string text;
    bool quoted = false;
};

// Splits one line into words and double-quoted strings (with \" and \\ escapes).
bool Tokenize(std::string_view line, std::vector<Token>& out, std::string& error)
{
    size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
            continue;
        }
        if (c == '#')
            break;
        Token t;
        if (c == '"') {
            t.quoted = true;
            ++i;
            bool closed = false;
            while (i < line.size()) {
                char q = line[i++];
                if (q == '"') {
                    closed = true;
                    break;
                }
                if (q == '\\' && i < line.size() && (line[i] == '"' || line[i] == '\\'))
                    q = line[i++];
                t.text.push_back(q);
            }
            if (!closed) {
                error = "unterminated quoted text";
                return false;
            }
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' && line[i] != '#')
                t.text.push_back(line[i++]);
        }
        out.push_back(std::move(t));
    }
    return true;
}

bool ParseInt(const std::string& s, int low, int high, int& out)
{
    if (s.empty() || s.size() > 11)
        return false;
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(s.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < low || v > high)
        return false;
    out = static_cast<int>(v);
    return true;
}

bool ParseSeries(const std::string& s, std::vector<ReplayScenario::Step>& out)
{
    size_t start = 0;
    while (start <= s.size()) {
        const size_t comma = s.find(',', start);
        const std::string part = s.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        ReplayScenario::Step step;
        if (part == "-") {
            step.state = ReplayScenario::Step::Absent;
        } else if (part == "invalid") {
            step.state = ReplayScenario::Step::Invalid;
        } else {
            if (part.empty())
                return false;
            char* end = nullptr;
            errno = 0;
            step.value = std::strtod(part.c_str(), &end);
            if (errno != 0 || *end != '\0' || !std::isfinite(step.value))
                return false;
        }
        out.push_back(step);
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    return !out.empty();
}

}  // namespace

bool ReplayScenario::Parse(std::string_view text, std::string& error)
{
    devices_.clear();
    std::vector<Device> devices;
    size_t lineNo = 0;
    size_t pos = 0;
    auto fail = [&](const std::string& why) {
        error = "line " + std::to_string(lineNo) + ": " + why;
        return false;
    };
    while (pos < text.size()) {
        size_t eol = text.find('\n', pos);
        if (eol == std::string_view::npos)
            eol = text.size();
        const std::string_view line = text.substr(pos, eol - pos);
        pos = eol + 1;
        ++lineNo;
        if (line.find('\0') != std::string_view::npos)
            return fail("binary data");

        std::vector<Token> tokens;
        std::string why;
        if (!Tokenize(line, tokens, why))
            return fail(why);
        if (tokens.empty())
            continue;
        const std::string& word = tokens[0].text;
        if (tokens[0].quoted)
            return fail("expected 'device', 'temp' or 'load'");

        if (word == "device") {
            if (tokens.size() != 2 || !tokens[1].quoted)
                return fail("expected: device \"<name>\"");
            if (tokens[1].text.size() > kMaxName)
                return fail("device name longer than 255 bytes");
            devices.push_back(Device{tokens[1].text, {}});
            continue;
        }
        if (word != "temp" && word != "load")
            return fail("unknown directive '" + word.substr(0, 40) + "'");
        if (devices.empty())
            return fail("reading before the first device");
        if (tokens.size() != 5 || tokens[1].quoted || tokens[2].quoted || !tokens[3].quoted || tokens[4].quoted)
            return fail("expected: " + word + " <index> <class> \"<label>\" <value>[,<value>...]");

        Reading r;
        r.kind = word == "temp" ? kKindTemperature : kKindLoad;
        if (!ParseInt(tokens[1].text, 0, kMaxReadingIndex - 1, r.index))
            return fail("reading index must be 0..511");
        if (!ParseInt(tokens[2].text, 0, 1000000, r.hwClass))
            return fail("class must be a non-negative number");
        r.label = tokens[3].text;
        if (r.label.size() > kMaxLabel)
            return fail("label longer than 135 bytes");
        if (!ParseSeries(tokens[4].text, r.series))
            return fail("bad value '" + tokens[4].text.substr(0, 40) + "' (number, '-' or 'invalid', comma-separated)");
        for (const auto& other : devices.back().readings) {
            if (other.kind == r.kind && other.index == r.index)
                return fail("reading index " + std::to_string(r.index) + " used twice for this kind");
        }
        devices.back().readings.push_back(std::move(r));
    }
    devices_ = std::move(devices);
    return true;
}

bool ReplayScenario::Load(const std::wstring& path, std::string& error)
{
    devices_.clear();
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        error = "cannot open the replay file (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart > 16 * 1024 * 1024) {
        error = "the replay file is larger than 16 MiB";
        return false;
    }
    std::string text(static_cast<size_t>(size.QuadPart), '\0');
    DWORD got = 0;
    if (!text.empty() && (!ReadFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &got, nullptr) || got != text.size())) {
        error = "cannot read the replay file";
        return false;
    }
    return Parse(text, error);
}

void ReplayScenario::Fill(size_t step, SensorDeviceSet& out) const
{
    for (const auto& d : devices_) {
        const int device = out.AppendDevice(d.name);
        for (const auto& r : d.readings) {
            const Step& s = r.series[step % r.series.size()];
            if (s.state == Step::Absent)
                continue;
            SensorValue v;
            v.valid = s.state == Step::Value;
            v.hwClass = r.hwClass;
            v.label = r.label;
            v.value = s.value;
            v.source = "replay";
            out.Put(device, r.kind, r.index, v);
        }
    }
}

#include "CString.h"

#include <cwchar>
#include <cwctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace {

// Lives in front of the characters: m_pszData points just past it.
struct StringHeader {
    LONG refs;      // -1 for the shared empty string, which is never freed
    int length;
    int capacity;   // characters, not counting the terminator
};

struct EmptyString {
    StringHeader header{-1, 0, 0};
    wchar_t text[1]{0};
};

EmptyString g_empty;

StringHeader* HeaderOf(const wchar_t* data)
{
    return reinterpret_cast<StringHeader*>(const_cast<wchar_t*>(data)) - 1;
}

wchar_t* EmptyData() { return g_empty.text; }

[[noreturn]] void RaiseOutOfMemory()
{
    ::RaiseException(static_cast<DWORD>(E_FAIL), EXCEPTION_NONCONTINUABLE, 0, nullptr);
    std::abort();
}

wchar_t* Allocate(int capacity)
{
    if (capacity <= 0)
        return EmptyData();
    void* block = std::malloc(sizeof(StringHeader) + (static_cast<size_t>(capacity) + 1) * sizeof(wchar_t));
    if (block == nullptr)
        RaiseOutOfMemory();
    StringHeader* header = static_cast<StringHeader*>(block);
    header->refs = 1;
    header->length = 0;
    header->capacity = capacity;
    wchar_t* data = reinterpret_cast<wchar_t*>(header + 1);
    data[0] = 0;
    return data;
}

void Release(wchar_t* data)
{
    if (data == EmptyData())
        return;
    StringHeader* header = HeaderOf(data);
    if (::InterlockedDecrement(&header->refs) == 0)
        std::free(header);
}

int SafeLength(const wchar_t* text) { return text ? static_cast<int>(std::wcslen(text)) : 0; }

} // namespace

CString::CString() : m_pszData(EmptyData()) {}

CString::CString(const wchar_t* text) : m_pszData(EmptyData()) { Assign(text, SafeLength(text)); }

CString::CString(const wchar_t* text, int length) : m_pszData(EmptyData())
{
    Assign(text, text ? length : 0);
}

CString::CString(wchar_t ch, int repeat) : m_pszData(EmptyData())
{
    if (repeat <= 0)
        return;
    m_pszData = Allocate(repeat);
    for (int i = 0; i < repeat; ++i)
        m_pszData[i] = ch;
    m_pszData[repeat] = 0;
    HeaderOf(m_pszData)->length = repeat;
}

CString::CString(const CString& other) : m_pszData(other.m_pszData)
{
    StringHeader* header = HeaderOf(m_pszData);
    if (header->refs >= 0)
        ::InterlockedIncrement(&header->refs);
}

CString::CString(CString&& other) noexcept : m_pszData(other.m_pszData) { other.m_pszData = EmptyData(); }

CString::~CString() { Release(m_pszData); }

CString& CString::operator=(const CString& other)
{
    if (m_pszData != other.m_pszData) {
        CString copy(other);
        std::swap(m_pszData, copy.m_pszData);
    }
    return *this;
}

CString& CString::operator=(CString&& other) noexcept
{
    std::swap(m_pszData, other.m_pszData);
    return *this;
}

CString& CString::operator=(const wchar_t* text)
{
    Assign(text, SafeLength(text));
    return *this;
}

int CString::GetLength() const { return HeaderOf(m_pszData)->length; }

long CString::GetRefCount() const
{
    LONG refs = HeaderOf(m_pszData)->refs;
    return refs < 0 ? 1 : refs;
}

void CString::Empty()
{
    Release(m_pszData);
    m_pszData = EmptyData();
}

void CString::Assign(const wchar_t* text, int length)
{
    // text may point into our own buffer: build the new one before releasing.
    wchar_t* data = Allocate(length);
    if (length > 0) {
        std::memcpy(data, text, static_cast<size_t>(length) * sizeof(wchar_t));
        data[length] = 0;
        HeaderOf(data)->length = length;
    }
    Release(m_pszData);
    m_pszData = data;
}

void CString::MakeUnique(int minCapacity)
{
    StringHeader* header = HeaderOf(m_pszData);
    if (header->refs == 1 && header->capacity >= minCapacity)
        return;
    int length = header->length;
    int capacity = minCapacity > length ? minCapacity : length;
    if (capacity <= 0) {
        if (header->refs < 0)
            return;
        capacity = 1;
    }
    if (header->refs == 1 && capacity < header->capacity * 2)
        capacity = header->capacity * 2;
    wchar_t* data = Allocate(capacity);
    std::memcpy(data, m_pszData, (static_cast<size_t>(length) + 1) * sizeof(wchar_t));
    HeaderOf(data)->length = length;
    Release(m_pszData);
    m_pszData = data;
}

wchar_t CString::GetAt(int index) const
{
    return index >= 0 && index < GetLength() ? m_pszData[index] : 0;
}

void CString::SetAt(int index, wchar_t ch)
{
    if (index < 0 || index >= GetLength())
        return;
    MakeUnique(GetLength());
    m_pszData[index] = ch;
}

void CString::Append(const wchar_t* text, int length)
{
    if (text == nullptr || length <= 0)
        return;
    int old = GetLength();
    if (text >= m_pszData && text <= m_pszData + old) {
        CString copy(text, length);
        Append(copy.m_pszData, length);
        return;
    }
    MakeUnique(old + length);
    std::memcpy(m_pszData + old, text, static_cast<size_t>(length) * sizeof(wchar_t));
    m_pszData[old + length] = 0;
    HeaderOf(m_pszData)->length = old + length;
}

CString& CString::operator+=(const wchar_t* text)
{
    Append(text, SafeLength(text));
    return *this;
}

CString& CString::operator+=(const CString& text)
{
    Append(text.m_pszData, text.GetLength());
    return *this;
}

CString& CString::operator+=(wchar_t ch)
{
    Append(&ch, 1);
    return *this;
}

void CString::FormatV(const wchar_t* format, va_list args)
{
    if (format == nullptr) {
        Empty();
        return;
    }
    va_list probe;
    va_copy(probe, args);
    int length = _vscwprintf(format, probe);
    va_end(probe);
    if (length <= 0) {
        Empty();
        return;
    }
    wchar_t* data = Allocate(length);
    _vsnwprintf(data, static_cast<size_t>(length) + 1, format, args);
    data[length] = 0;
    HeaderOf(data)->length = length;
    Release(m_pszData);
    m_pszData = data;
}

void CString::Format(const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    FormatV(format, args);
    va_end(args);
}

void CString::AppendFormat(const wchar_t* format, ...)
{
    CString tail;
    va_list args;
    va_start(args, format);
    tail.FormatV(format, args);
    va_end(args);
    *this += tail;
}

int CString::Compare(const wchar_t* text) const { return std::wcscmp(m_pszData, text ? text : L""); }
int CString::CompareNoCase(const wchar_t* text) const { return _wcsicmp(m_pszData, text ? text : L""); }

int CString::Find(const wchar_t* sub, int start) const
{
    if (sub == nullptr || start < 0 || start > GetLength())
        return -1;
    const wchar_t* hit = std::wcsstr(m_pszData + start, sub);
    return hit ? static_cast<int>(hit - m_pszData) : -1;
}

int CString::Find(wchar_t ch, int start) const
{
    if (start < 0 || start >= GetLength())
        return -1;
    const wchar_t* hit = std::wcschr(m_pszData + start, ch);
    return hit ? static_cast<int>(hit - m_pszData) : -1;
}

int CString::ReverseFind(wchar_t ch) const
{
    const wchar_t* hit = std::wcsrchr(m_pszData, ch);
    return hit ? static_cast<int>(hit - m_pszData) : -1;
}

CString CString::Mid(int first, int count) const
{
    int length = GetLength();
    if (first < 0)
        first = 0;
    if (first > length)
        first = length;
    if (count < 0)
        count = 0;
    if (count > length - first)
        count = length - first;
    return CString(m_pszData + first, count);
}

CString CString::Mid(int first) const { return Mid(first, GetLength()); }
CString CString::Left(int count) const { return Mid(0, count); }

CString CString::Right(int count) const
{
    int length = GetLength();
    if (count > length)
        count = length;
    return Mid(length - (count < 0 ? 0 : count));
}

CString& CString::MakeLower()
{
    MakeUnique(GetLength());
    for (int i = 0; i < GetLength(); ++i)
        m_pszData[i] = static_cast<wchar_t>(std::towlower(m_pszData[i]));
    return *this;
}

CString& CString::MakeUpper()
{
    MakeUnique(GetLength());
    for (int i = 0; i < GetLength(); ++i)
        m_pszData[i] = static_cast<wchar_t>(std::towupper(m_pszData[i]));
    return *this;
}

CString& CString::TrimLeft()
{
    int i = 0;
    while (i < GetLength() && std::iswspace(m_pszData[i]))
        ++i;
    if (i > 0)
        *this = Mid(i);
    return *this;
}

CString& CString::TrimRight()
{
    int end = GetLength();
    while (end > 0 && std::iswspace(m_pszData[end - 1]))
        --end;
    if (end < GetLength())
        *this = Left(end);
    return *this;
}

CString& CString::Trim() { return TrimRight().TrimLeft(); }

int CString::Replace(const wchar_t* oldText, const wchar_t* newText)
{
    int oldLength = SafeLength(oldText);
    if (oldLength == 0)
        return 0;
    CString result;
    int count = 0;
    int pos = 0;
    for (int hit = Find(oldText, 0); hit >= 0; hit = Find(oldText, pos)) {
        result.Append(m_pszData + pos, hit - pos);
        result += newText;
        pos = hit + oldLength;
        ++count;
    }
    if (count > 0) {
        result.Append(m_pszData + pos, GetLength() - pos);
        *this = result;
    }
    return count;
}

wchar_t* CString::GetBuffer(int minLength)
{
    MakeUnique(minLength > GetLength() ? minLength : GetLength());
    if (m_pszData == EmptyData()) {
        // Even a zero-length request gets a writable buffer.
        m_pszData = Allocate(1);
    }
    return m_pszData;
}

wchar_t* CString::GetBuffer() { return GetBuffer(GetLength()); }

void CString::ReleaseBuffer(int newLength)
{
    if (m_pszData == EmptyData())
        return;
    StringHeader* header = HeaderOf(m_pszData);
    if (newLength < 0) {
        m_pszData[header->capacity] = 0;
        newLength = static_cast<int>(std::wcslen(m_pszData));
    }
    if (newLength > header->capacity)
        newLength = header->capacity;
    m_pszData[newLength] = 0;
    header->length = newLength;
}

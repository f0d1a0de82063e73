#pragma once
#include <windows.h>

#include <cstdarg>

#include "QLUIExport.h"

// Reference-counted wide-character string. Copies share one buffer until one
// of them is changed (copy on write). The object is a single pointer to the
// characters; the count and length live in a header in front of them.
class QLUI_API CString {
public:
    CString();
    CString(const wchar_t* text);
    CString(const wchar_t* text, int length);
    CString(wchar_t ch, int repeat = 1);
    CString(const CString& other);
    CString(CString&& other) noexcept;
    ~CString();

    CString& operator=(const CString& other);
    CString& operator=(CString&& other) noexcept;
    CString& operator=(const wchar_t* text);

    operator const wchar_t*() const { return m_pszData; }
    const wchar_t* GetString() const { return m_pszData; }
    int GetLength() const;
    BOOL IsEmpty() const { return GetLength() == 0; }
    void Empty();

    wchar_t GetAt(int index) const;
    void SetAt(int index, wchar_t ch);

    CString& operator+=(const wchar_t* text);
    CString& operator+=(const CString& text);
    CString& operator+=(wchar_t ch);
    void Append(const wchar_t* text, int length);

    void Format(const wchar_t* format, ...);
    void AppendFormat(const wchar_t* format, ...);
    void FormatV(const wchar_t* format, va_list args);

    int Compare(const wchar_t* text) const;
    int CompareNoCase(const wchar_t* text) const;
    int Find(const wchar_t* sub, int start = 0) const;
    int Find(wchar_t ch, int start = 0) const;
    int ReverseFind(wchar_t ch) const;

    CString Left(int count) const;
    CString Right(int count) const;
    CString Mid(int first) const;
    CString Mid(int first, int count) const;
    CString& MakeLower();
    CString& MakeUpper();
    CString& Trim();
    CString& TrimLeft();
    CString& TrimRight();
    int Replace(const wchar_t* oldText, const wchar_t* newText);

    // Direct access: the buffer holds at least minLength characters plus the
    // terminator; ReleaseBuffer(-1) takes the length up to the first terminator.
    wchar_t* GetBuffer(int minLength);
    wchar_t* GetBuffer();
    void ReleaseBuffer(int newLength = -1);

    // Number of CString objects sharing this buffer (1 when unshared).
    long GetRefCount() const;

private:
    void Assign(const wchar_t* text, int length);
    void MakeUnique(int minCapacity);

    wchar_t* m_pszData;
};

inline CString operator+(const CString& a, const CString& b) { CString r(a); r += b; return r; }
inline CString operator+(const CString& a, const wchar_t* b) { CString r(a); r += b; return r; }
inline CString operator+(const wchar_t* a, const CString& b) { CString r(a); r += b; return r; }
inline CString operator+(const CString& a, wchar_t b) { CString r(a); r += b; return r; }
inline bool operator==(const CString& a, const CString& b) { return a.Compare(b) == 0; }
inline bool operator==(const CString& a, const wchar_t* b) { return a.Compare(b) == 0; }
inline bool operator==(const wchar_t* a, const CString& b) { return b.Compare(a) == 0; }
inline bool operator!=(const CString& a, const CString& b) { return a.Compare(b) != 0; }
inline bool operator!=(const CString& a, const wchar_t* b) { return a.Compare(b) != 0; }
inline bool operator<(const CString& a, const CString& b) { return a.Compare(b) < 0; }

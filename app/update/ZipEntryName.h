#pragma once
#include <string>

// What makes a cleaned entry name unusable as a place to write. Each of these
// would let Windows read the name as something other than a plain file below
// the target folder.
enum class EntryNameProblem {
    None,
    Empty,               // nothing left after cleaning
    DotSegment,          // "." or ".." as a segment
    TrailingDotOrSpace,  // Windows drops them, so the file would get another name
    ForbiddenCharacter,  // ':' (drive, stream), wildcards, quotes, pipes, angle brackets, controls
    ReservedDeviceName,  // CON, NUL, COM1 and the like, with or without an extension
};

// Zip names use either separator, and Windows accepts both.
bool IsPathSeparator(wchar_t c);

// The cleaning rules, repeated until none applies: a name whose second
// character is ':' loses two characters; a leading "\" or "/" goes; a leading
// "..\" or "../" goes; a name holding "\..\", "\../", "/../" or "/..\" loses
// everything up to and including the first of them.
std::wstring CleanZipEntryName(std::wstring name);

// Checks a cleaned name segment by segment. On None, `relative` is the name
// with backslashes only and without empty segments.
EntryNameProblem CheckZipEntryName(const std::wstring& cleaned, std::wstring& relative);

// True when `path`, made absolute, lies strictly below `folder` made absolute.
bool PathLiesInside(const std::wstring& folder, const std::wstring& path);

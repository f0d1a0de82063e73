#include "ZipExtractor.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "UniqueResource.h"
#include "ZipEntryName.h"
#include "unzip.h"
// After unzip.h, which brings the zlib and ioapi declarations it uses.
#include "iowin32.h"

namespace {

using UniqueUnzip = UniqueResource<win32_traits::ClosedBy<unzFile, unzClose>>;

const wchar_t* OutcomeText(ZipEntryOutcome outcome)
{
    switch (outcome) {
    case ZipEntryOutcome::FileWritten: return L"written";
    case ZipEntryOutcome::FolderCreated: return L"folder";
    case ZipEntryOutcome::NameRefused: return L"name refused";
    case ZipEntryOutcome::SymbolicLink: return L"symbolic link skipped";
    case ZipEntryOutcome::PasswordRequired: return L"needs a password";
    case ZipEntryOutcome::TooLarge: return L"too large";
    case ZipEntryOutcome::NotCreated: return L"cannot be created";
    case ZipEntryOutcome::WriteFailed: return L"write failed";
    case ZipEntryOutcome::BrokenData: return L"broken data";
    }
    return L"";
}

// Host codes of the DOS family: MS-DOS/FAT, Windows NTFS, VFAT, OS/2 HPFS... as
// zip writers use them (0, 7, 11, 14).
bool IsDosFamilyHost(unsigned host)
{
    return host == 0 || host == 7 || host == 11 || host == 14;
}

DWORD EntryAttributes(unsigned host, uLong external)
{
    constexpr DWORD kDosBits = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY |
                               FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    if (IsDosFamilyHost(host))
        return external & kDosBits;
    const uLong mode = external >> 16;
    DWORD attributes = FILE_ATTRIBUTE_ARCHIVE;
    if (mode & 0040000)
        attributes |= FILE_ATTRIBUTE_DIRECTORY;
    if (!(mode & 0200))
        attributes |= FILE_ATTRIBUTE_READONLY;
    return attributes;
}

bool IsSymbolicLink(unsigned host, uLong external)
{
    return !IsDosFamilyHost(host) && ((external >> 16) & 0170000) == 0120000;
}

FILETIME UnixToFileTime(int32_t seconds)
{
    const ULONGLONG ticks = static_cast<ULONGLONG>(static_cast<LONGLONG>(seconds) * 10000000LL + 116444736000000000LL);
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

// The "UT" extended-timestamp block of the local extra data: flag bit 0
// modification, bit 1 access, bit 2 creation, each a 32-bit Unix time in order.
void ApplyExtendedTimestamp(const unsigned char* extra, size_t size, ZipEntryRecord& record)
{
    size_t pos = 0;
    while (pos + 4 <= size) {
        const unsigned tag = extra[pos] | (extra[pos + 1] << 8);
        const size_t length = extra[pos + 2] | (extra[pos + 3] << 8);
        const unsigned char* data = extra + pos + 4;
        if (pos + 4 + length > size)
            return;
        if (tag == 0x5455 && length >= 1) {
            FILETIME* targets[3] = {&record.writeTime, &record.accessTime, &record.creationTime};
            size_t at = 1;
            for (int bit = 0; bit < 3 && at + 4 <= length; ++bit) {
                if (!(data[0] & (1 << bit)))
                    continue;
                const uint32_t raw = data[at] | (data[at + 1] << 8) | (data[at + 2] << 16) |
                                     (static_cast<uint32_t>(data[at + 3]) << 24);
                *targets[bit] = UnixToFileTime(static_cast<int32_t>(raw));
                at += 4;
            }
            return;
        }
        pos += 4 + length;
    }
}

void Trace(const ZipEntryRecord& record)
{
    wchar_t text[400];
    swprintf(text, ARRAYSIZE(text), L"ExtractZipToFolder: entry %u \"%.300ls\": %ls", record.index, record.name.c_str(),
             OutcomeText(record.outcome));
    OutputDebugStringW(text);
}

void RemovePartialFile(const std::wstring& path)
{
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(path.c_str());
}

}  // namespace

bool ZipExtractor::CreateFolderLevels(const std::wstring& path, size_t guardFrom)
{
    bool isFolder = false;
    for (size_t i = 1; i <= path.size(); ++i) {
        if (i < path.size() && !IsPathSeparator(path[i]))
            continue;
        const std::wstring level = path.substr(0, i);
        if (IsPathSeparator(level.back()) || level.back() == L':')
            continue;  // a root, a drive or a doubled separator
        DWORD attributes = GetFileAttributesW(level.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            CreateDirectoryW(level.c_str(), nullptr);
            attributes = GetFileAttributesW(level.c_str());
        }
        isFolder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
        if (i >= guardFrom && (!isFolder || (attributes & FILE_ATTRIBUTE_REPARSE_POINT)))
            return false;
    }
    return isFolder;
}

bool ZipExtractor::Extract(const std::wstring& zipPath, const std::wstring& folder)
{
    entries_.clear();
    zlib_filefunc64_def io;
    fill_win32_filefunc64W(&io);
    UniqueUnzip archive(unzOpen2_64(zipPath.c_str(), &io));
    if (!archive)
        return false;

    base_ = folder;
    if (base_.empty() || !IsPathSeparator(base_.back()))
        base_ += L'\\';
    guardFrom_ = base_.size() - 1;
    budget_ = maxTotalBytes_;
    name_.resize(0x10000);

    unz_global_info64 global{};
    unzGetGlobalInfo64(archive.get(), &global);
    int status = unzGoToFirstFile(archive.get());
    for (unsigned index = 0; index < global.number_entry && status == UNZ_OK; ++index) {
        ZipEntryRecord record;
        record.index = index;
        record.outcome = ExtractCurrent(archive.get(), record);
        Trace(record);
        entries_.push_back(std::move(record));
        status = unzGoToNextFile(archive.get());
    }
    return true;
}

ZipEntryOutcome ZipExtractor::ExtractCurrent(void* archive, ZipEntryRecord& record)
{
    unz_file_info64 info{};
    if (unzGetCurrentFileInfo64(archive, &info, name_.data(), static_cast<uLong>(name_.size()), nullptr, 0, nullptr,
                                0) != UNZ_OK)
        return ZipEntryOutcome::BrokenData;

    const unsigned host = (info.version >> 8) & 0xFF;
    record.attributes = EntryAttributes(host, info.external_fa);
    record.compressedSize = info.compressed_size;
    record.uncompressedSize = info.uncompressed_size;
    FILETIME local{};
    if (DosDateTimeToFileTime(HIWORD(info.dosDate), LOWORD(info.dosDate), &local))
        LocalFileTimeToFileTime(&local, &record.writeTime);
    record.creationTime = record.accessTime = record.writeTime;

    // A NUL inside the stored name would cut it short into another name.
    const int bytes = static_cast<int>(info.size_filename);
    if (strnlen(name_.data(), bytes) != static_cast<size_t>(bytes))
        return ZipEntryOutcome::NameRefused;
    std::wstring name(bytes, L'\0');
    name.resize(MultiByteToWideChar(CP_ACP, 0, name_.data(), bytes, name.data(), bytes));
    if (name.size() > kMaxNameChars)
        return ZipEntryOutcome::NameRefused;
    const bool isFolder =
        (!name.empty() && IsPathSeparator(name.back())) || (record.attributes & FILE_ATTRIBUTE_DIRECTORY);
    record.name = CleanZipEntryName(name);

    std::wstring relative;
    if (CheckZipEntryName(record.name, relative) != EntryNameProblem::None ||
        !PathLiesInside(base_, base_ + relative))
        return ZipEntryOutcome::NameRefused;
    if (IsSymbolicLink(host, info.external_fa))
        return ZipEntryOutcome::SymbolicLink;
    if (isFolder)
        return CreateFolderLevels(base_ + relative, guardFrom_) ? ZipEntryOutcome::FolderCreated
                                                                : ZipEntryOutcome::NotCreated;
    if (info.flag & 1)
        return ZipEntryOutcome::PasswordRequired;
    if (info.uncompressed_size > budget_)
        return ZipEntryOutcome::TooLarge;

    const size_t slash = relative.rfind(L'\\');
    const std::wstring parent = base_ + (slash == std::wstring::npos ? L"" : relative.substr(0, slash));
    const std::wstring path = base_ + relative;
    // A read-only file is not recreated (as Windows refuses it, also where the
    // file system below would allow it).
    const DWORD existing = GetFileAttributesW(path.c_str());
    if (!CreateFolderLevels(parent, guardFrom_) ||
        (existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_READONLY)))
        return ZipEntryOutcome::NotCreated;
    return WriteCurrent(archive, record, path);
}

ZipEntryOutcome ZipExtractor::WriteCurrent(void* archive, ZipEntryRecord& record, const std::wstring& path)
{
    if (unzOpenCurrentFile(archive) != UNZ_OK)
        return ZipEntryOutcome::BrokenData;
    std::vector<unsigned char> extra(0xFFFF);
    const int extraBytes = unzGetLocalExtrafield(archive, extra.data(), static_cast<unsigned>(extra.size()));
    if (extraBytes > 0)
        ApplyExtendedTimestamp(extra.data(), static_cast<size_t>(extraBytes), record);

    // Written under a new name, then moved over the old one: a symbolic or
    // hard link in its place is replaced, never written through (nor deleted
    // through, as Wine's DeleteFileW does with a link to a file).
    const std::wstring part = path + L".caldris-part";
    const DWORD attributes = record.attributes & ~FILE_ATTRIBUTE_DIRECTORY;
    UniqueHandle file(CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        unzCloseCurrentFile(archive);
        return ZipEntryOutcome::NotCreated;
    }

    ZipEntryOutcome outcome = ZipEntryOutcome::FileWritten;
    std::vector<char> chunk(kChunkBytes);
    ULONGLONG written = 0;
    for (;;) {
        const int got = unzReadCurrentFile(archive, chunk.data(), kChunkBytes);
        if (got < 0) {
            outcome = ZipEntryOutcome::BrokenData;
            break;
        }
        if (got == 0)
            break;
        DWORD put = 0;
        if (!WriteFile(file.get(), chunk.data(), static_cast<DWORD>(got), &put, nullptr) ||
            put != static_cast<DWORD>(got)) {
            outcome = ZipEntryOutcome::WriteFailed;
            break;
        }
        written += put;
        budget_ -= put;  // never below zero: minizip stops at the claimed size, which fit
    }
    // minizip checks the CRC only when the claimed size was reached; a stream
    // that ends early is caught by the count.
    const int closed = unzCloseCurrentFile(archive);
    if (outcome == ZipEntryOutcome::FileWritten && (closed != UNZ_OK || written != record.uncompressedSize))
        outcome = ZipEntryOutcome::BrokenData;

    if (outcome == ZipEntryOutcome::FileWritten)
        SetFileTime(file.get(), &record.creationTime, &record.accessTime, &record.writeTime);
    file.reset();
    if (outcome == ZipEntryOutcome::FileWritten && !MoveFileExW(part.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING))
        outcome = ZipEntryOutcome::NotCreated;
    if (outcome != ZipEntryOutcome::FileWritten)
        RemovePartialFile(part);
    return outcome;
}

bool ExtractZipToFolder(const std::wstring& zipPath, const std::wstring& folder)
{
    ZipExtractor extractor;
    return extractor.Extract(zipPath, folder);
}

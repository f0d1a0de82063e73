#include "PackageSignature.h"

#include <windows.h>
#include <bcrypt.h>
#include <wincrypt.h>

#include <cstring>
#include <vector>

#include "TrustedUpdateKeys.h"
#include "UniqueResource.h"

namespace {

constexpr ULONG kSha256Bytes = 32;
constexpr ULONG kSaltBytes = 32;
// An RSA-16384 signature is 2048 bytes; anything longer is not one of ours.
constexpr DWORD kMaxSignatureBytes = 4096;
constexpr DWORD kReadChunk = 1 << 16;

bool ReadSmallFile(const std::wstring& path, std::vector<BYTE>& bytes, bool& missing)
{
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    missing = !file && (GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND);
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.get(), &size) || size.QuadPart > kMaxSignatureBytes)
        return false;
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD got = 0;
    return bytes.empty() ||
           (ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) && got == bytes.size());
}

bool HashOpenFile(HANDLE file, BYTE (&digest)[kSha256Bytes])
{
    UniqueBcryptAlgorithm algorithm;
    UniqueBcryptHash hash;
    LARGE_INTEGER start{};
    if (!SetFilePointerEx(file, start, nullptr, FILE_BEGIN) ||
        BCryptOpenAlgorithmProvider(algorithm.put(), BCRYPT_SHA256_ALGORITHM, nullptr, 0) != 0 ||
        BCryptCreateHash(algorithm.get(), hash.put(), nullptr, 0, nullptr, 0, 0) != 0)
        return false;
    std::vector<BYTE> chunk(kReadChunk);
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, chunk.data(), kReadChunk, &got, nullptr))
            return false;
        if (got == 0)
            break;
        if (BCryptHashData(hash.get(), chunk.data(), got, 0) != 0)
            return false;
    }
    return BCryptFinishHash(hash.get(), digest, kSha256Bytes, 0) == 0;
}

// SHA-256 of the file's bytes, read while nobody may write to it.
bool HashFile(const std::wstring& path, BYTE (&digest)[kSha256Bytes])
{
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    return file && HashOpenFile(file.get(), digest);
}

UniqueBcryptKey ImportPublicKey(const char* pem)
{
    UniqueBcryptKey key;
    DWORD derBytes = 0;
    if (!CryptStringToBinaryA(pem, 0, CRYPT_STRING_BASE64HEADER, nullptr, &derBytes, nullptr, nullptr))
        return key;
    std::vector<BYTE> der(derBytes);
    DWORD infoBytes = 0;
    if (!CryptStringToBinaryA(pem, 0, CRYPT_STRING_BASE64HEADER, der.data(), &derBytes, nullptr, nullptr) ||
        !CryptDecodeObjectEx(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO, der.data(), derBytes, 0, nullptr, nullptr,
                             &infoBytes))
        return key;
    // Pointer-aligned storage: the decoded structure points into itself.
    std::vector<ULONG_PTR> info((infoBytes + sizeof(ULONG_PTR) - 1) / sizeof(ULONG_PTR));
    if (CryptDecodeObjectEx(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO, der.data(), derBytes, 0, nullptr, info.data(),
                            &infoBytes))
        CryptImportPublicKeyInfoEx2(X509_ASN_ENCODING, reinterpret_cast<CERT_PUBLIC_KEY_INFO*>(info.data()), 0,
                                    nullptr, key.put());
    return key;
}

}  // namespace

SignatureCheck VerifyPackageSignature(const std::wstring& packagePath, const std::wstring& signaturePath)
{
    std::vector<BYTE> signature;
    bool missing = false;
    if (!ReadSmallFile(signaturePath, signature, missing))
        return missing ? SignatureCheck::Missing : SignatureCheck::Invalid;
    if (signature.empty())
        return SignatureCheck::Invalid;

    BYTE digest[kSha256Bytes];
    if (!HashFile(packagePath, digest))
        return SignatureCheck::Unreadable;

    BCRYPT_PSS_PADDING_INFO padding{BCRYPT_SHA256_ALGORITHM, kSaltBytes};
    for (const char* pem : TrustedUpdateKeys()) {
        UniqueBcryptKey key = ImportPublicKey(pem);
        if (key && BCryptVerifySignature(key.get(), &padding, digest, kSha256Bytes, signature.data(),
                                         static_cast<ULONG>(signature.size()), BCRYPT_PAD_PSS) == 0)
            return SignatureCheck::Valid;
    }
    return SignatureCheck::Invalid;
}

std::string Sha256Hex(HANDLE file)
{
    BYTE digest[kSha256Bytes];
    if (!HashOpenFile(file, digest))
        return {};
    static const char kHex[] = "0123456789abcdef";
    std::string text;
    for (BYTE b : digest) {
        text += kHex[b >> 4];
        text += kHex[b & 15];
    }
    return text;
}

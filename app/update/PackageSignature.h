#pragma once
#include <windows.h>

#include <string>

// What a package's detached signature says about it.
enum class SignatureCheck {
    Valid,         // made by one of the trusted keys over exactly these bytes
    Missing,       // no signature file
    Invalid,       // wrong key, other bytes, a damaged or unreadable signature
    Unreadable,    // the package cannot be read
};

// Checks a detached signature (RSA-PSS, SHA-256, 32-byte salt: what
// scripts/sign-update.sh writes) over the package file's bytes against every
// key of TrustedUpdateKeys(), with the Windows crypto API (BCrypt; the keys are
// decoded through CryptoAPI's X.509 decoder).
SignatureCheck VerifyPackageSignature(const std::wstring& packagePath, const std::wstring& signaturePath);

// SHA-256 of an open file's bytes from its start, as 64 lower-case hex digits;
// empty when it cannot be read. Read through the caller's handle, so the bytes
// are those of the file the caller holds, not of whatever the path names now.
std::string Sha256Hex(HANDLE file);

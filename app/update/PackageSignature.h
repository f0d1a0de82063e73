#pragma once
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

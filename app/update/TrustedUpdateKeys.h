#pragma once
#include <span>

// The public keys (PEM, SubjectPublicKeyInfo) whose signatures make an update
// package and its release record trusted: the release keys (CALDRIS_RELEASE_KEYS),
// and in developer builds (test programs) the tests' key as well. Each linked
// program gets one list (cmake/UpdateKeys.cmake).
std::span<const char* const> TrustedUpdateKeys();

#pragma once
#include <span>

// The public keys (PEM, SubjectPublicKeyInfo) whose signatures make an update
// package trusted: the release key, and in builds with tests the tests' key.
std::span<const char* const> TrustedUpdateKeys();

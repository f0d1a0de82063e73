// trust-ca.exe CA.pem: adds a certificate authority to the machine's Root
// store of this Wine prefix (or Windows machine), so that HTTPS servers whose
// certificates it signed are trusted. The machine store takes it without the
// confirmation prompt that the user's store shows. Exit code 0 on success.
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <vector>

#include "UniqueResource.h"

namespace {

struct CertStore : win32_traits::NullEmpty<HCERTSTORE, nullptr> {
    static void Close(Type h) { CertCloseStore(h, 0); }
};

std::vector<BYTE> ReadFileBytes(const wchar_t* path)
{
    UniqueHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file)
        return {};
    std::vector<BYTE> data(GetFileSize(file.get(), nullptr));
    DWORD read = 0;
    if (!ReadFile(file.get(), data.data(), static_cast<DWORD>(data.size()), &read, nullptr))
        return {};
    data.resize(read);
    return data;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: trust-ca CA.pem\n");
        return 2;
    }
    const std::vector<BYTE> pem = ReadFileBytes(argv[1]);
    DWORD size = 0;
    if (pem.empty() || !CryptStringToBinaryA(reinterpret_cast<const char*>(pem.data()), static_cast<DWORD>(pem.size()),
                                             CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr, nullptr)) {
        std::fprintf(stderr, "trust-ca: no PEM certificate in the file\n");
        return 1;
    }
    std::vector<BYTE> der(size);
    CryptStringToBinaryA(reinterpret_cast<const char*>(pem.data()), static_cast<DWORD>(pem.size()),
                         CRYPT_STRING_BASE64HEADER, der.data(), &size, nullptr, nullptr);
    UniqueResource<CertStore> store(CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE,
                                                  L"Root"));
    if (!store || !CertAddEncodedCertificateToStore(store.get(), X509_ASN_ENCODING, der.data(), size,
                                                    CERT_STORE_ADD_REPLACE_EXISTING, nullptr)) {
        std::fprintf(stderr, "trust-ca: the Root store refused the certificate (%lu)\n", GetLastError());
        return 1;
    }
    std::printf("trusted\n");
    return 0;
}

#include "SecurityRules.h"

#include <aclapi.h>
#include <sddl.h>

namespace {

constexpr ACCESS_MASK kWriteRights = FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY | FILE_DELETE_CHILD | DELETE | WRITE_DAC |
                                     WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

bool IsWellKnown(PSID sid, WELL_KNOWN_SID_TYPE type)
{
    return sid != nullptr && IsValidSid(sid) && IsWellKnownSid(sid, type);
}

bool IsAdministratorsOrSystem(PSID sid)
{
    return IsWellKnown(sid, WinBuiltinAdministratorsSid) || IsWellKnown(sid, WinLocalSystemSid);
}

bool IsTrustedInstaller(PSID sid)
{
    PSID trusted = nullptr;
    if (sid == nullptr || !IsValidSid(sid) ||
        !ConvertStringSidToSidW(L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464", &trusted))
        return false;
    UniqueLocalMemory owned(trusted);
    return EqualSid(sid, trusted) != FALSE;
}

bool IsTrusted(PSID sid)
{
    return IsAdministratorsOrSystem(sid) || IsTrustedInstaller(sid);
}

bool ReadParts(PSECURITY_DESCRIPTOR descriptor, PSID& owner, PACL& dacl, SECURITY_DESCRIPTOR_CONTROL& control)
{
    BOOL defaulted = FALSE;
    BOOL present = FALSE;
    DWORD revision = 0;
    owner = nullptr;
    dacl = nullptr;
    return descriptor != nullptr && GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) &&
           GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) && present &&
           GetSecurityDescriptorControl(descriptor, &control, &revision);
}

}  // namespace

bool IsAdministratorsOnly(PSECURITY_DESCRIPTOR descriptor)
{
    PSID owner = nullptr;
    PACL dacl = nullptr;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    if (!ReadParts(descriptor, owner, dacl, control) || !IsAdministratorsOrSystem(owner) || dacl == nullptr ||
        !(control & SE_DACL_PROTECTED))
        return false;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(dacl, i, &ace))
            return false;
        const auto* header = static_cast<const ACE_HEADER*>(ace);
        if (header->AceType == ACCESS_DENIED_ACE_TYPE)
            continue;
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE ||
            !IsAdministratorsOrSystem(&static_cast<ACCESS_ALLOWED_ACE*>(ace)->SidStart))
            return false;
    }
    return true;
}

bool WritableByNonAdministrators(PSECURITY_DESCRIPTOR descriptor)
{
    PSID owner = nullptr;
    PACL dacl = nullptr;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    if (!ReadParts(descriptor, owner, dacl, control) || !IsTrusted(owner) || dacl == nullptr)
        return true;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(dacl, i, &ace))
            return true;
        const auto* header = static_cast<const ACE_HEADER*>(ace);
        // Entries only for what is created inside do not apply to the folder itself.
        if ((header->AceFlags & INHERIT_ONLY_ACE) || header->AceType == ACCESS_DENIED_ACE_TYPE)
            continue;
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE)
            return true;
        const auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
        if ((allowed->Mask & kWriteRights) && !IsTrusted(const_cast<DWORD*>(&allowed->SidStart)))
            return true;
    }
    return false;
}

bool OwnedByAdministratorsOrSystem(HANDLE object)
{
    PSID owner = nullptr;
    UniqueLocalMemory descriptor;
    return GetSecurityInfo(object, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                           descriptor.put()) == ERROR_SUCCESS &&
           IsAdministratorsOrSystem(owner);
}

UniqueLocalMemory ReadFolderSecurity(const std::wstring& path)
{
    UniqueLocalMemory descriptor;
    if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                              nullptr, nullptr, nullptr, nullptr, descriptor.put()) != ERROR_SUCCESS)
        descriptor.reset();
    return descriptor;
}

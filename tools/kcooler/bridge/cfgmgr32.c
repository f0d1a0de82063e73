/* A test-prefix bridge for Wine 8's cfgmgr32, which lacks what hidapi's Windows
 * back end needs: CM_Get_Device_Interface_PropertyW is not exported (hidapi
 * resolves it at start-up, so hid_init fails), CM_Get_Device_Interface_List_SizeW
 * is a stub that fails and CM_Get_Device_Interface_ListW is unimplemented.
 * These three are answered here from SetupAPI; every other export forwards to
 * setupapi.dll, where Wine's own cfgmgr32 forwards them too (cfgmgr32.def).
 * Placed in a test prefix's system32 and loaded with WINEDLLOVERRIDES=cfgmgr32=n,b;
 * never shipped, never part of the program. */
#define CMAPI /* this is cfgmgr32 */
#include <windows.h>
#include <cfgmgr32.h>
#include <devpropdef.h>
#include <setupapi.h>

/* DEVPKEY_Device_InstanceId */
static const DEVPROPKEY instance_id_key = {
    {0x78c34fc8, 0x104a, 0x4aca, {0x9e, 0xa4, 0x52, 0x4d, 0x52, 0x99, 0x6e, 0x57}}, 256};

typedef BOOL (*interface_visitor)(const WCHAR *path, void *context);

/* Calls visit for each interface of the class (of one device when device_id is
 * given); present ones only unless flags has CM_GET_DEVICE_INTERFACE_LIST_ALL_DEVICES. */
static CONFIGRET for_each_interface(const GUID *guid, const WCHAR *device_id, ULONG flags, interface_visitor visit,
                                    void *context)
{
    DWORD dig = DIGCF_DEVICEINTERFACE;
    SP_DEVICE_INTERFACE_DATA iface;
    HDEVINFO set;
    DWORD i;

    if (!guid)
        return CR_INVALID_POINTER;
    if (!(flags & CM_GET_DEVICE_INTERFACE_LIST_ALL_DEVICES))
        dig |= DIGCF_PRESENT;
    set = SetupDiGetClassDevsW(guid, device_id && device_id[0] ? device_id : NULL, NULL, dig);
    if (set == INVALID_HANDLE_VALUE)
        return CR_FAILURE;
    iface.cbSize = sizeof(iface);
    for (i = 0; SetupDiEnumDeviceInterfaces(set, NULL, guid, i, &iface); i++) {
        union {
            SP_DEVICE_INTERFACE_DETAIL_DATA_W detail;
            BYTE bytes[sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W) + 1024 * sizeof(WCHAR)];
        } u;
        u.detail.cbSize = sizeof(u.detail);
        if (!SetupDiGetDeviceInterfaceDetailW(set, &iface, &u.detail, sizeof(u), NULL, NULL))
            continue;
        if (!visit(u.detail.DevicePath, context))
            break;
    }
    SetupDiDestroyDeviceInfoList(set);
    return CR_SUCCESS;
}

static BOOL count_chars(const WCHAR *path, void *context)
{
    *(ULONG *)context += lstrlenW(path) + 1;
    return TRUE;
}

struct list_out {
    WCHAR *at;
    ULONG room; /* characters left, the final terminator included */
    BOOL overflow;
};

static BOOL append_path(const WCHAR *path, void *context)
{
    struct list_out *out = context;
    ULONG n = lstrlenW(path) + 1;
    if (n + 1 > out->room) {
        out->overflow = TRUE;
        return FALSE;
    }
    memcpy(out->at, path, n * sizeof(WCHAR));
    out->at += n;
    out->room -= n;
    return TRUE;
}

CONFIGRET WINAPI CM_Get_Device_Interface_List_SizeW(PULONG length, LPGUID guid, DEVINSTID_W device_id, ULONG flags)
{
    CONFIGRET cr;
    ULONG chars = 0;

    if (!length)
        return CR_INVALID_POINTER;
    cr = for_each_interface(guid, device_id, flags, count_chars, &chars);
    if (cr == CR_SUCCESS)
        *length = chars + 1;
    return cr;
}

CONFIGRET WINAPI CM_Get_Device_Interface_ListW(LPGUID guid, DEVINSTID_W device_id, PZZWSTR buffer, ULONG length,
                                               ULONG flags)
{
    struct list_out out = {buffer, length, FALSE};
    CONFIGRET cr;

    if (!buffer || !length)
        return CR_INVALID_POINTER;
    cr = for_each_interface(guid, device_id, flags, append_path, &out);
    if (cr != CR_SUCCESS)
        return cr;
    if (out.overflow) {
        buffer[0] = 0;
        return CR_BUFFER_SMALL;
    }
    *out.at = 0;
    return CR_SUCCESS;
}

/* Only the instance id of the interface's device is known here, the one
 * property hidapi asks an interface for; other keys answer CR_NO_SUCH_VALUE. */
CONFIGRET WINAPI CM_Get_Device_Interface_PropertyW(LPCWSTR path, const DEVPROPKEY *key, DEVPROPTYPE *type,
                                                   PBYTE buffer, PULONG size, ULONG flags)
{
    SP_DEVICE_INTERFACE_DATA iface;
    SP_DEVINFO_DATA device;
    WCHAR id[MAX_DEVICE_ID_LEN];
    CONFIGRET cr = CR_NO_SUCH_DEVICE_INTERFACE;
    HDEVINFO set;
    ULONG bytes;

    if (!path || !key || !type || !size)
        return CR_INVALID_POINTER;
    if (flags)
        return CR_INVALID_FLAG;
    if (memcmp(key, &instance_id_key, sizeof(*key)) != 0)
        return CR_NO_SUCH_VALUE;
    set = SetupDiCreateDeviceInfoList(NULL, NULL);
    if (set == INVALID_HANDLE_VALUE)
        return CR_FAILURE;
    iface.cbSize = sizeof(iface);
    device.cbSize = sizeof(device);
    if (SetupDiOpenDeviceInterfaceW(set, path, 0, &iface) &&
        (SetupDiGetDeviceInterfaceDetailW(set, &iface, NULL, 0, NULL, &device) ||
         GetLastError() == ERROR_INSUFFICIENT_BUFFER) &&
        SetupDiGetDeviceInstanceIdW(set, &device, id, MAX_DEVICE_ID_LEN, NULL)) {
        bytes = (lstrlenW(id) + 1) * sizeof(WCHAR);
        *type = DEVPROP_TYPE_STRING;
        if (!buffer || *size < bytes) {
            cr = CR_BUFFER_SMALL;
        } else {
            memcpy(buffer, id, bytes);
            cr = CR_SUCCESS;
        }
        *size = bytes;
    }
    SetupDiDestroyDeviceInfoList(set);
    return cr;
}

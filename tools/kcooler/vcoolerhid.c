/* The kernel-level virtual cooler: a root-enumerated HID minidriver that shows
 * Windows' HID class driver one cooler (vendor 0x1A2C, product 0x434D, three
 * top-level collections) and hands every feature report to the stack host, a
 * user-mode process that answers it with the same cooler model the link-time
 * virtual cooler uses. One device node per plugged cooler: the host creates it
 * on plug and removes it on unplug, so the system's Plug and Play announces
 * arrival and removal as for real hardware.
 *
 * The root device's instance id says which cooler this is and where the host
 * listens: ROOT\VID_1A2C&PID_434D\<slot>&<channel>.
 *
 * A test tool, never shipped. Built as a PE driver with mingw-w64's DDK headers;
 * mingw has no hidport.h, so the minidriver interface is declared here. */
#include <ntddk.h>
#include <hidusage.h>
#include <hidclass.h>

#include "StackProtocol.h"

/* The minidriver requests, as hidclass numbers them (mingw's hidclass.h has
 * placeholders for these; the feature codes there are right). */
#define MINI_CODE(n) CTL_CODE(FILE_DEVICE_KEYBOARD, (n), METHOD_NEITHER, FILE_ANY_ACCESS)
#define MINI_GET_DEVICE_DESCRIPTOR MINI_CODE(0)
#define MINI_GET_REPORT_DESCRIPTOR MINI_CODE(1)
#define MINI_READ_REPORT MINI_CODE(2)
#define MINI_WRITE_REPORT MINI_CODE(3)
#define MINI_GET_STRING MINI_CODE(4)
#define MINI_ACTIVATE_DEVICE MINI_CODE(7)
#define MINI_DEACTIVATE_DEVICE MINI_CODE(8)
#define MINI_GET_DEVICE_ATTRIBUTES MINI_CODE(9)

typedef struct {
    ULONG Revision;
    PDRIVER_OBJECT DriverObject;
    PUNICODE_STRING RegistryPath;
    ULONG DeviceExtensionSize;
    BOOLEAN DevicesArePolled;
    UCHAR Reserved[3];
} MINIDRIVER_REGISTRATION;

typedef struct {
    PDEVICE_OBJECT PhysicalDeviceObject;
    PDEVICE_OBJECT NextDeviceObject;
    PVOID MiniDeviceExtension;
} MINI_DEVICE_EXTENSION;

typedef struct {
    ULONG Size;
    USHORT VendorID;
    USHORT ProductID;
    USHORT VersionNumber;
    USHORT Reserved[11];
} MINI_DEVICE_ATTRIBUTES;

#pragma pack(push, 1)
typedef struct {
    UCHAR bLength;
    UCHAR bDescriptorType;
    USHORT bcdHID;
    UCHAR bCountry;
    UCHAR bNumDescriptors;
    UCHAR bReportType;
    USHORT wReportLength;
} MINI_HID_DESCRIPTOR;
#pragma pack(pop)

NTSTATUS NTAPI HidRegisterMinidriver(MINIDRIVER_REGISTRATION *registration);

/* The cooler's collections: the display collection (vendor page 0xFF01,
 * usage 1; feature report 7, 63 data bytes), consumer control (input report 1)
 * and a second vendor collection (0xFF00, usage 2; input report 2). The display
 * collection comes first because Wine 8.0's hidclass makes one interface per
 * device, not one per top-level collection, and gives it the first
 * collection's usage (see README.md). */
static const UCHAR report_descriptor[] = {
    0x06, 0x01, 0xFF, 0x09, 0x01, 0xA1, 0x01,             /* page 0xFF01, usage 1, Application */
    0x85, 0x07, 0x09, 0x01, 0x15, 0x00, 0x26, 0xFF, 0x00, /*   report 7, 0..255 */
    0x75, 0x08, 0x95, 0x3F, 0xB1, 0x02, 0xC0,             /*   8 bits x 63, Feature; end */
    0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01,                   /* Consumer, Consumer Control, Application */
    0x85, 0x01, 0x19, 0x00, 0x2A, 0xFF, 0x03,             /*   report 1, usages 0..0x3FF */
    0x15, 0x00, 0x26, 0xFF, 0x03, 0x75, 0x10, 0x95, 0x01, /*   0..0x3FF, 16 bits, 1 */
    0x81, 0x00, 0xC0,                                     /*   Input (array); end */
    0x06, 0x00, 0xFF, 0x09, 0x02, 0xA1, 0x01,             /* page 0xFF00, usage 2, Application */
    0x85, 0x02, 0x09, 0x01, 0x15, 0x00, 0x26, 0xFF, 0x00, /*   report 2, 0..255 */
    0x75, 0x08, 0x95, 0x3F, 0x81, 0x02, 0xC0,             /*   8 bits x 63, Input; end */
};

struct cooler {
    ULONG slot;
    WCHAR pipe[96];  /* \??\pipe\vcooler-<channel>-stack */
    HANDLE link;     /* the pipe, opened on first use; guarded by lock */
    FAST_MUTEX lock;
    KSPIN_LOCK read_lock;
    IRP *pending_read; /* hidclass always keeps one read waiting; no input ever comes */
};

static struct cooler *cooler_of(DEVICE_OBJECT *device)
{
    return ((MINI_DEVICE_EXTENSION *)device->DeviceExtension)->MiniDeviceExtension;
}

static DEVICE_OBJECT *next_of(DEVICE_OBJECT *device)
{
    return ((MINI_DEVICE_EXTENSION *)device->DeviceExtension)->NextDeviceObject;
}

/* The root device's instance id, as hidclass asks for it. */
static NTSTATUS query_instance_id(DEVICE_OBJECT *pdo, WCHAR *id, SIZE_T chars)
{
    IO_STATUS_BLOCK io;
    KEVENT event;
    IRP *irp;
    IO_STACK_LOCATION *stack;
    NTSTATUS status;

    KeInitializeEvent(&event, NotificationEvent, FALSE);
    irp = IoBuildSynchronousFsdRequest(IRP_MJ_PNP, pdo, NULL, 0, NULL, &event, &io);
    if (!irp)
        return STATUS_NO_MEMORY;
    irp->IoStatus.Status = STATUS_NOT_SUPPORTED;
    stack = IoGetNextIrpStackLocation(irp);
    stack->MinorFunction = IRP_MN_QUERY_ID;
    stack->Parameters.QueryId.IdType = BusQueryInstanceID;
    if (IoCallDriver(pdo, irp) == STATUS_PENDING)
        KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, NULL);
    status = io.Status;
    if (NT_SUCCESS(status) && io.Information) {
        const WCHAR *answer = (const WCHAR *)io.Information;
        SIZE_T n = 0;
        while (answer[n] && n + 1 < chars) {
            id[n] = answer[n];
            n++;
        }
        id[n] = 0;
        ExFreePool((void *)io.Information);
    }
    return status;
}

/* "<slot>&<channel>" -> the slot and the host's pipe. */
static NTSTATUS parse_instance(struct cooler *c, const WCHAR *id)
{
    static const WCHAR head[] = L"\\??\\pipe\\" VCOOLER_STACK_PIPE_PREFIX;
    static const WCHAR tail[] = VCOOLER_STACK_PIPE_SUFFIX;
    const SIZE_T room = sizeof(c->pipe) / sizeof(WCHAR);
    SIZE_T at = 0, k;

    if (id[0] < L'0' || id[0] > L'9' || id[1] != L'&' || !id[2])
        return STATUS_INVALID_PARAMETER;
    c->slot = id[0] - L'0';
    for (k = 0; head[k]; k++)
        c->pipe[at++] = head[k];
    for (k = 2; id[k] && at + sizeof(tail) / sizeof(WCHAR) < room; k++)
        c->pipe[at++] = id[k];
    for (k = 0; tail[k]; k++)
        c->pipe[at++] = tail[k];
    c->pipe[at] = 0;
    return STATUS_SUCCESS;
}

static void close_link(struct cooler *c)
{
    if (c->link) {
        ZwClose(c->link);
        c->link = NULL;
    }
}

static NTSTATUS open_link(struct cooler *c)
{
    UNICODE_STRING name;
    OBJECT_ATTRIBUTES attr;
    IO_STATUS_BLOCK io;

    RtlInitUnicodeString(&name, c->pipe);
    InitializeObjectAttributes(&attr, &name, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, NULL, NULL);
    return ZwCreateFile(&c->link, GENERIC_READ | GENERIC_WRITE | SYNCHRONIZE, &attr, &io, NULL, 0, 0, FILE_OPEN,
                        FILE_SYNCHRONOUS_IO_NONALERT | FILE_NON_DIRECTORY_FILE, NULL, 0);
}

/* One request to the host and its answer; a broken pipe is opened again once. */
static NTSTATUS exchange(struct cooler *c, const struct vcooler_stack_request *request,
                         struct vcooler_stack_answer *answer)
{
    NTSTATUS status = STATUS_UNSUCCESSFUL;
    IO_STATUS_BLOCK io;
    int attempt;

    ExAcquireFastMutex(&c->lock);
    for (attempt = 0; attempt < 2; attempt++) {
        if (!c->link && !NT_SUCCESS(status = open_link(c))) {
            c->link = NULL;
            break;
        }
        status = ZwWriteFile(c->link, NULL, NULL, NULL, &io, (void *)request, sizeof(*request), NULL, NULL);
        if (NT_SUCCESS(status))
            status = ZwReadFile(c->link, NULL, NULL, NULL, &io, answer, sizeof(*answer), NULL, NULL);
        if (NT_SUCCESS(status) && io.Information == sizeof(*answer))
            break;
        if (NT_SUCCESS(status))
            status = STATUS_UNSUCCESSFUL;
        close_link(c);
    }
    ExReleaseFastMutex(&c->lock);
    return status;
}

static NTSTATUS feature(struct cooler *c, ULONG op, HID_XFER_PACKET *packet, ULONG_PTR *information)
{
    struct vcooler_stack_request request;
    struct vcooler_stack_answer answer;
    ULONG length = packet->reportBufferLen;
    NTSTATUS status;

    if (packet->reportId != 0x07 || length == 0 || length > VCOOLER_STACK_REPORT_BYTES)
        return STATUS_INVALID_PARAMETER;
    RtlZeroMemory(&request, sizeof(request));
    request.slot = c->slot;
    request.op = op;
    request.length = length;
    if (op == VCOOLER_STACK_SEND)
        RtlCopyMemory(request.data, packet->reportBuffer, length);
    else
        request.data[0] = packet->reportId;
    status = exchange(c, &request, &answer);
    if (!NT_SUCCESS(status))
        return STATUS_DEVICE_NOT_CONNECTED;
    if (answer.result < 0)
        return STATUS_UNSUCCESSFUL;
    if (op == VCOOLER_STACK_GET)
        RtlCopyMemory(packet->reportBuffer, answer.data, length);
    *information = length;
    return STATUS_SUCCESS;
}

static NTSTATUS copy_out(IRP *irp, ULONG room, const void *data, ULONG size)
{
    if (room < size)
        return STATUS_BUFFER_TOO_SMALL;
    RtlCopyMemory(irp->UserBuffer, data, size);
    irp->IoStatus.Information = size;
    return STATUS_SUCCESS;
}

static NTSTATUS get_string(struct cooler *c, IRP *irp, ULONG id, ULONG room)
{
    WCHAR text[32];
    const WCHAR *source;
    ULONG n = 0;

    switch (id & 0xFFFF) {
    case 1: source = L"Vantrel"; break;
    case 2: source = L"Glimra Cooler (kernel virtual)"; break;
    case 3: source = L"VCOOLER0"; break;
    default: return STATUS_INVALID_PARAMETER;
    }
    while (source[n] && n + 1 < sizeof(text) / sizeof(WCHAR)) {
        text[n] = source[n];
        n++;
    }
    if ((id & 0xFFFF) == 3)
        text[n - 1] = (WCHAR)(L'0' + c->slot);
    text[n] = 0;
    return copy_out(irp, room, text, (n + 1) * sizeof(WCHAR));
}

static void complete_pending_read(struct cooler *c)
{
    KIRQL irql;
    IRP *irp;

    KeAcquireSpinLock(&c->read_lock, &irql);
    irp = c->pending_read;
    c->pending_read = NULL;
    KeReleaseSpinLock(&c->read_lock, irql);
    if (irp) {
        irp->IoStatus.Status = STATUS_DELETE_PENDING;
        irp->IoStatus.Information = 0;
        IoCompleteRequest(irp, IO_NO_INCREMENT);
    }
}

static NTSTATUS WINAPI internal_ioctl(DEVICE_OBJECT *device, IRP *irp)
{
    IO_STACK_LOCATION *stack = IoGetCurrentIrpStackLocation(irp);
    struct cooler *c = cooler_of(device);
    const ULONG room = stack->Parameters.DeviceIoControl.OutputBufferLength;
    NTSTATUS status;

    switch (stack->Parameters.DeviceIoControl.IoControlCode) {
    case MINI_GET_DEVICE_DESCRIPTOR: {
        const MINI_HID_DESCRIPTOR d = {sizeof(d), 0x21, 0x0111, 0, 1, 0x22, sizeof(report_descriptor)};
        status = copy_out(irp, room, &d, sizeof(d));
        break;
    }
    case MINI_GET_REPORT_DESCRIPTOR:
        status = copy_out(irp, room, report_descriptor, sizeof(report_descriptor));
        break;
    case MINI_GET_DEVICE_ATTRIBUTES: {
        MINI_DEVICE_ATTRIBUTES a;
        RtlZeroMemory(&a, sizeof(a));
        a.Size = sizeof(a);
        a.VendorID = 0x1A2C;
        a.ProductID = 0x434D;
        a.VersionNumber = 0x0100;
        status = copy_out(irp, room, &a, sizeof(a));
        break;
    }
    case MINI_GET_STRING:
        status = get_string(c, irp, (ULONG)(ULONG_PTR)stack->Parameters.DeviceIoControl.Type3InputBuffer, room);
        break;
    case MINI_READ_REPORT: {
        KIRQL irql;
        KeAcquireSpinLock(&c->read_lock, &irql);
        if (c->pending_read) {
            KeReleaseSpinLock(&c->read_lock, irql);
            status = STATUS_DEVICE_BUSY;
            break;
        }
        IoMarkIrpPending(irp);
        c->pending_read = irp;
        KeReleaseSpinLock(&c->read_lock, irql);
        return STATUS_PENDING;
    }
    case IOCTL_HID_SET_FEATURE:
        status = feature(c, VCOOLER_STACK_SEND, irp->UserBuffer, &irp->IoStatus.Information);
        break;
    case IOCTL_HID_GET_FEATURE:
        status = feature(c, VCOOLER_STACK_GET, irp->UserBuffer, &irp->IoStatus.Information);
        break;
    case MINI_ACTIVATE_DEVICE:
    case MINI_DEACTIVATE_DEVICE:
        status = STATUS_SUCCESS;
        break;
    default:
        status = STATUS_NOT_SUPPORTED;
        break;
    }
    irp->IoStatus.Status = status;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

static NTSTATUS WINAPI pnp(DEVICE_OBJECT *device, IRP *irp)
{
    IO_STACK_LOCATION *stack = IoGetCurrentIrpStackLocation(irp);
    struct cooler *c = cooler_of(device);

    switch (stack->MinorFunction) {
    case IRP_MN_START_DEVICE:
    case IRP_MN_STOP_DEVICE:
    case IRP_MN_QUERY_REMOVE_DEVICE:
    case IRP_MN_CANCEL_REMOVE_DEVICE:
        irp->IoStatus.Status = STATUS_SUCCESS;
        break;
    case IRP_MN_SURPRISE_REMOVAL:
    case IRP_MN_REMOVE_DEVICE:
        complete_pending_read(c);
        ExAcquireFastMutex(&c->lock);
        close_link(c);
        ExReleaseFastMutex(&c->lock);
        irp->IoStatus.Status = STATUS_SUCCESS;
        break;
    default:
        break;
    }
    IoSkipCurrentIrpStackLocation(irp);
    return IoCallDriver(next_of(device), irp);
}

static NTSTATUS WINAPI power(DEVICE_OBJECT *device, IRP *irp)
{
    PoStartNextPowerIrp(irp);
    IoSkipCurrentIrpStackLocation(irp);
    return PoCallDriver(next_of(device), irp);
}

static NTSTATUS WINAPI add_device(DRIVER_OBJECT *driver, DEVICE_OBJECT *fdo)
{
    struct cooler *c = cooler_of(fdo);
    WCHAR id[128];
    NTSTATUS status;

    (void)driver;
    RtlZeroMemory(c, sizeof(*c));
    ExInitializeFastMutex(&c->lock);
    KeInitializeSpinLock(&c->read_lock);
    status = query_instance_id(((MINI_DEVICE_EXTENSION *)fdo->DeviceExtension)->PhysicalDeviceObject, id,
                               sizeof(id) / sizeof(id[0]));
    if (NT_SUCCESS(status))
        status = parse_instance(c, id);
    if (!NT_SUCCESS(status))
        return status;
    fdo->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}

static void WINAPI unload(DRIVER_OBJECT *driver)
{
    (void)driver;
}

NTSTATUS WINAPI DriverEntry(DRIVER_OBJECT *driver, UNICODE_STRING *registry)
{
    MINIDRIVER_REGISTRATION registration;

    driver->DriverExtension->AddDevice = add_device;
    driver->DriverUnload = unload;
    driver->MajorFunction[IRP_MJ_PNP] = pnp;
    driver->MajorFunction[IRP_MJ_POWER] = power;
    driver->MajorFunction[IRP_MJ_INTERNAL_DEVICE_CONTROL] = internal_ioctl;

    RtlZeroMemory(&registration, sizeof(registration));
    registration.Revision = HID_REVISION;
    registration.DriverObject = driver;
    registration.RegistryPath = registry;
    registration.DeviceExtensionSize = sizeof(struct cooler);
    registration.DevicesArePolled = FALSE;
    return HidRegisterMinidriver(&registration);
}

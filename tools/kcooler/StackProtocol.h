#pragma once
/* What the kernel-level virtual cooler's driver and the stack host say to each
 * other over the named pipe "\\.\pipe\vcooler-<channel>-stack": one request,
 * one answer, fixed sizes. Shared by the driver (C) and the host (C++). */
#include <stdint.h>

#define VCOOLER_STACK_PIPE_PREFIX L"vcooler-"
#define VCOOLER_STACK_PIPE_SUFFIX L"-stack"
#define VCOOLER_STACK_REPORT_BYTES 64 /* report id 7 and 63 data bytes */

enum vcooler_stack_op { VCOOLER_STACK_SEND = 1, VCOOLER_STACK_GET = 2 };

struct vcooler_stack_request {
    uint32_t slot;   /* the cooler's index on the control channel */
    uint32_t op;     /* enum vcooler_stack_op */
    uint32_t length; /* report bytes, report id included */
    uint8_t data[VCOOLER_STACK_REPORT_BYTES];
};

struct vcooler_stack_answer {
    int32_t result; /* byte count, or -1: the report failed */
    uint8_t data[VCOOLER_STACK_REPORT_BYTES];
};

/* ostypes.h - the shared types of relayKit: integer names, result codes, ids, time-outs,
 * priorities and handler types. Every layer of the library and every host includes it. */
#ifndef RELAYKIT_OSTYPES_H
#define RELAYKIT_OSTYPES_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Marks the calls and variables that the shared library exports; everything else is hidden. */
#define RELAYKIT_API __attribute__((visibility("default")))

typedef uint8_t uint8;
typedef uint16_t uint16;
typedef uint32_t uint32;
typedef uint64_t uint64;
typedef int8_t sint8;
typedef int16_t sint16;
typedef int32_t sint32;

/* Enumerations whose values arrive from outside (a datagram, a C host) take every 32-bit value
 * in C++ as they do in C; their values are only compared, never trusted to be enumerators. */
#ifdef __cplusplus
#define OS_ENUM_UINT32 : uint32
#else
#define OS_ENUM_UINT32
#endif

/* A flag counts as true only when it equals eOS_BOOL_TRUE. */
typedef enum {
    eOS_BOOL_FALSE = 0,
    eOS_BOOL_TRUE = 1
} eOsBool;

/* Result of every operation of the library and the ret of every CM response.
 * The OS wrapper and the service layer themselves return only 0 to 6. */
typedef enum OS_ENUM_UINT32 {
    eOS_RET_SUCCESS = 0,
    eOS_RET_MIN = eOS_RET_SUCCESS,

    /* general */
    eOS_RET_FAILURE = 1,
    eOS_RET_INVALID_ARG = 2,
    eOS_RET_INVALID_STATE = 3,
    eOS_RET_NO_RESOURCE = 4,
    eOS_RET_TIME_OUT = 5,
    eOS_RET_AGAIN = 6,
    eOS_RET_NOT_EXIST = 7,
    eOS_RET_ALREADY_EXIST = 8,
    eOS_RET_ONU_MIB_NOT_READY = 9,
    eOS_RET_CONFIG_CONTINUE = 10,
    eOS_RET_PAL_DEVICE_BUSY = 11,
    eOS_RET_SUCCESS_COMPLETE = 12,

    /* OMCI */
    eOS_RET_OMCI_UNKNOWN_ONU = 13,
    eOS_RET_OMCI_UNKNOWN_CLASS = 14,
    eOS_RET_OMCI_UNKNOWN_ACTION = 15,
    eOS_RET_OMCI_UNKNOWN_ATTR = 16,
    eOS_RET_OMCI_UNSUPPORTED_ACTION = 17,
    eOS_RET_OMCI_UNSUPPORTED_ATTR = 18,

    /* OLT manager */
    eOS_RET_OLT_UNKNOWN_ENTITY = 19,
    eOS_RET_OLT_UNKNOWN_OPER = 20,
    eOS_RET_OLT_UNKNOWN_ATTR = 21,
    eOS_RET_OLT_INVALID_OPER = 22,
    eOS_RET_OLT_INSTANCE_EXISTS = 23,
    eOS_RET_OLT_NO_INSTANCE_EXISTS = 24,
    eOS_RET_ONUMGR_INSTANCE_EXISTS = 25,

    /* CM socket */
    eOS_RET_CM_SOCKET_BIND_ERROR = 26,
    eOS_RET_CM_SOCKET_SEND_FAIL = 27,
    eOS_RET_CM_SOCKET_RCV_ERROR = 28,
    eOS_RET_CM_REQUEST_TIMEOUT = 29,

    /* database */
    eOS_RET_DB_FILE_OPEN_FAIL = 30,
    eOS_RET_DB_FILE_CORRUPT = 31,
    eOS_RET_DB_FILE_READ_ERROR = 32,
    eOS_RET_DB_FILE_WRITE_ERROR = 33,
    eOS_RET_DB_RECORD_ERROR = 34,

    /* device layer */
    eOS_RET_PAL_RX_TIMEOUT = 35,
    eOS_RET_PAL_TX_TIMEOUT = 36,
    eOS_RET_PAL_TASK_ID_ARRAY_FULL = 37,
    eOS_RET_PAL_INVALID_LINK_ID = 38,
    eOS_RET_PAL_INVALID_ONU_ID = 39,
    eOS_RET_PAL_DEVICE_BIND_FAIL = 40,
    eOS_RET_PAL_DEVICE_INIT_FAIL = 41,
    eOS_RET_PAL_LINK_INIT_FAIL_DEVICE_NOT_READY = 42,
    eOS_RET_PAL_LINK_ACTIVATION_FAIL = 43,
    eOS_RET_PAL_LINK_DEACTIVATION_FAIL_ONUS_ACTIVE = 44,
    eOS_RET_PAL_ONU_ADD_FAIL_SN_ALREADY_EXISTS = 45,
    eOS_RET_PAL_GET_ONU_STATUS_FAIL_ONU_NOT_EXIST = 46,

    /* provisioning */
    eOS_RET_PROVISION_ERROR_REASON_NOT_EXIST_TCONT_ME = 10000,
    eOS_RET_PROVISION_ERROR_REASON_NOT_EXIST_VIRTUAL_ETH_INTF_POINT_ME = 10001,
    eOS_RET_PROVISION_ERROR_REASON_NOT_EXIST_IP_HOST_CONFIG_DATA_ME = 10002,
    eOS_RET_PROVISION_ERROR_REASON_NOT_EXIST_PPTP_ETH_UNI_ME = 10003,
    eOS_RET_PROVISION_ERROR_REASON_NOT_EXIST_TCONT_VIRTUAL_PORT_BIND_PROF = 10004,
    eOS_RET_PROVISION_ERROR_REASON_NOT_EXIST_VIRTUAL_PORT_CONFIG = 10005,
    eOS_RET_PROVISION_ERROR_REASON_NOT_EXIST_ONU_VIRTUAL_PORT_SERV_PROF = 10006,
    eOS_RET_PROVISION_ERROR_REASON_NOT_EXIST_TCONT_SERV_PROF = 10007,
    eOS_RET_PROVISION_ERROR_REASON_NOT_EXIST_BANDWIDTH_PROF = 10008,
    eOS_RET_PROVISION_ERROR_REASON_INVALID_ARG_TCONT_INDEX = 10009,
    eOS_RET_PROVISION_ERROR_REASON_ASSIGN_ALLOCID_FAILED = 10010,
    eOS_RET_PROVISION_ERROR_REASON_CONFIG_ALLOCID_ERROR = 10011,
    eOS_RET_PROVISION_ERROR_REASON_CONFIG_GEMPORT_ERROR = 10012,
    eOS_RET_PROVISION_ERROR_REASON_US_ASSIGN_GEMPORT_ERROR = 10013,
    eOS_RET_PROVISION_ERROR_REASON_DS_CONFIG_FLOW_ERROR = 10014,
    eOS_RET_PROVISION_ERROR_REASON_UNI_TYPE_MISCONFIGURATION = 10015,

    /* codes of the chip vendor's device driver: the base minus the driver's negative code */
    eOS_RET_BCM_ERR_BASE = 20000,

    eOS_RET_MAX = 30000
} eOsRet;

/* A driver code is negative; it travels as eOS_RET_BCM_ERR_BASE minus that code. */
#define CONVERT_BCMERR_TO_OSRET(bcmErrM) ((eOsRet)(eOS_RET_BCM_ERR_BASE - (bcmErrM)))
#define CONVERT_OSRET_TO_BCMERR(osRetM) ((int)eOS_RET_BCM_ERR_BASE - (int)(osRetM))

/* An unsigned 64-bit number as two 32-bit halves; the value is high * 2^32 + low. */
typedef struct {
    uint32 high;
    uint32 low;
} tOsUint64;

/* Milliseconds: system time since the epoch, or up-time since OsWrap__Init. */
typedef tOsUint64 tOsTime;

/* OS-wrapper identifiers. */
typedef uint32 tOsTaskId;  /* low 32 bits of the task's thread handle */
typedef uint32 tOsQueueId; /* 1 to 400 */
typedef uint32 tOsSemId;   /* 1 to 44960 */
typedef void *tOsMsg;      /* a queued block */

#define OS_TASK_ID_INVALID ((tOsTaskId)0xFFFFFFFFu)
#define OS_QUEUE_ID_INVALID ((tOsQueueId)0xFFFFFFFFu)
#define OS_SEM_ID_INVALID ((tOsSemId)0xFFFFFFFFu)

/* Waiting time-outs in milliseconds (sint32). */
#define OS_WAIT_FOREVER (-1)
#define OS_WAIT_NO 0

typedef enum {
    eOS_PRI_HIGH = 0,
    eOS_PRI_MEDIUM = 1,
    eOS_PRI_LOW = 2,
    eOS_PRI_MAX = 3
} eOsPri;

typedef void (*tOsSysErrorHandler)(char *textP);
typedef void *(*tOsSysMemAllocHandler)(size_t size);
typedef void (*tOsSysMemFreeHandler)(void *memP);
typedef void (*tSvcTimerCallback)(void *userInfoP);

/* Compile-time check of the printf-style calls whose format may begin with the time directive "%t"
 * (SvcPrintf, SvcConsolePrintf, CmTraceInterface, TraceInterface, LogInterface and the forms built
 * on them): the compiler checks the arguments against the format from its third character on when
 * it begins with "%t", against the whole format otherwise, so a wrong argument is a warning and
 * not a crash at run time. Each of these calls is a macro of the function's own name that adds the
 * check; the function's definition puts its name in parentheses so the macro leaves it alone. The
 * check is the dead branch of a constant condition: no argument is evaluated twice and nothing is
 * called. */
static inline void OsFormatCheck(const char *checkedFormatP, const char *formatP, ...)
    __attribute__((format(printf, 1, 3)));
static inline void OsFormatCheck(const char *checkedFormatP, const char *formatP, ...) {
    (void)checkedFormatP;
    (void)formatP;
}
#define OS_TIME_FORMAT_FIRST(formatM, ...) formatM
/* C folds the string comparison of a literal format, C++ the reading of its characters. */
#ifdef __cplusplus
#define OS_TIME_FORMAT_BODY(formatM)                                                             \
    ((formatM)[0] == '%' && (formatM)[1] == 't' ? (formatM) + 2 : (formatM))
#else
#define OS_TIME_FORMAT_BODY(formatM)                                                             \
    (__builtin_strncmp((formatM), "%t", 2) == 0 ? (formatM) + 2 : (formatM))
#endif
#define OS_TIME_FORMAT_CHECK(...)                                                                \
    (0 ? OsFormatCheck(OS_TIME_FORMAT_BODY(OS_TIME_FORMAT_FIRST(__VA_ARGS__, ~)), __VA_ARGS__)    \
       : (void)0)

#ifdef __cplusplus
}
#endif

/* Compile-time checks that read the same in C11 and C++ (sizes of enumerations and wire records). */
#ifdef __cplusplus
#define OS_STATIC_ASSERT(condM, textM) static_assert(condM, textM)
#else
#define OS_STATIC_ASSERT(condM, textM) _Static_assert(condM, textM)
#endif

/* Every enumeration is stored as 32 bits. */
OS_STATIC_ASSERT(sizeof(eOsBool) == 4, "eOsBool is 32 bits");
OS_STATIC_ASSERT(sizeof(eOsRet) == 4, "eOsRet is 32 bits");
OS_STATIC_ASSERT(sizeof(eOsPri) == 4, "eOsPri is 32 bits");
OS_STATIC_ASSERT(sizeof(tOsUint64) == 8, "tOsUint64 is two 32-bit halves");

#endif /* RELAYKIT_OSTYPES_H */

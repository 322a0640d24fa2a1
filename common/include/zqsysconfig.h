/* zqsysconfig.h - the line card's board type and system limits: PON links per device and ONUs per
 * link. The limits start at the values below and are set once from the board type, read from the
 * platform's file "/tmp/get_board_id", when the CM channel starts; the trace facility bounds its
 * per-ONU filters with zqSysLinkNumPerDev. */
#ifndef RELAYKIT_ZQSYSCONFIG_H
#define RELAYKIT_ZQSYSCONFIG_H

#include "ostypes.h"

#ifdef __cplusplus
extern "C" {
#endif

#define ZQ_SYS_LINK_NUM_PER_DEV_INIT 16
#define ZQ_SYS_ONU_NUM_PER_LINK_GPON_INIT 128
#define ZQ_SYS_ONU_NUM_PER_LINK_XGPON_INIT 256

RELAYKIT_API extern uint8 zqSysLinkNumPerDev;        /* PON links per device, initially 16 */
RELAYKIT_API extern uint16 zqSysOnuNumPerLink_GPON;  /* ONUs per GPON link, initially 128 */
RELAYKIT_API extern uint16 zqSysOnuNumPerLink_XGPON; /* ONUs per XGPON link, initially 256 */

#define BOARD_TYPE_FILE_NAME "/tmp/get_board_id"
#define BOARD_TYPE_FILE_LENGTH 40

/* Line-card models; each value is its row in boardTypeNames. */
typedef enum {
    btUndefined = 0,
    btKWN = 1,
    btKXM = 2,
    btKXN = 3,
    btKXU = 4,
    btKWU = 5,
    btUMK = 6,
    btKWO = 7,
    btKXO = 8,
    btMYK = 9,
    btMYN = 10,
    btMYU = 11,
    btMYO = 12,
    btMYW = 13,
    btMYX4 = 14,
    btMYX8 = 15,
    btMYQ4 = 16,
    btMYQ8 = 17,
    btMYT = 18,
    btMYR4 = 19,
    btMYR8 = 20,
    btMYL = 21,
    btMYH = 22,
    btWU7 = 23
} boardType_t;

#define BOARD_TYPE_NUM 24

/* The model names as the board file spells them, "Undefined" first. */
RELAYKIT_API extern const char *const boardTypeNames[BOARD_TYPE_NUM];

/* Reads the first line of the board file (at most 38 characters) and stores the first model whose
 * name it begins with. A missing file (major log), no match or "Undefined" return eOS_RET_FAILURE;
 * *boardType is then btUndefined, or untouched when the file could not be opened. */
RELAYKIT_API eOsRet GetBoardTypeFromHW(boardType_t *boardType);

OS_STATIC_ASSERT(sizeof(boardType_t) == 4, "boardType_t is 32 bits");

#ifdef __cplusplus
}
#endif

#endif /* RELAYKIT_ZQSYSCONFIG_H */

/* zqsysconfig.h - the system limits of the line card: PON links per device and ONUs per link.
 * They start at the values below and are set once from the board type when the CM channel starts;
 * the trace facility bounds its per-ONU filters with zqSysLinkNumPerDev. */
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

#ifdef __cplusplus
}
#endif

#endif /* RELAYKIT_ZQSYSCONFIG_H */

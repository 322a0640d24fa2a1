// zqsysconfig.cpp - the system limits of the line card, at their start-up values.
#include "zqsysconfig.h"

extern "C" {

uint8 zqSysLinkNumPerDev = ZQ_SYS_LINK_NUM_PER_DEV_INIT;
uint16 zqSysOnuNumPerLink_GPON = ZQ_SYS_ONU_NUM_PER_LINK_GPON_INIT;
uint16 zqSysOnuNumPerLink_XGPON = ZQ_SYS_ONU_NUM_PER_LINK_XGPON_INIT;

} // extern "C"

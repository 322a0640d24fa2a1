// oltmgr_names.h - the names of resource ids, operations and results as the OLT manager's log
// prints them: the enumerator without its common prefix for resources and operations, the whole
// enumerator for results. They come from the name table generated from the public headers.
#ifndef RELAYKIT_OLTMGR_NAMES_H
#define RELAYKIT_OLTMGR_NAMES_H

#include <cstdint>

namespace oltmgr {

// "EQPT_ONU_CONFIG" for 6; null for an id outside 1 to 108.
const char *ResIdName(uint32_t resId);

// "CREATE" for 1, "GET_CFG_BY_SERNUMBER" for 11; null outside 1 to 11.
const char *OperName(uint32_t operType);

// "eOS_RET_OLT_INSTANCE_EXISTS" for 23, "eOS_RET_BCM_ERR_BASE" for 20000; null for a value that
// names no result.
const char *RetName(uint32_t ret);

// "ONU_ALARM_LOW_RX_OPTICAL_POWER" for 118 (the enumerator without eZQ_CMAPI_); null for a value
// that names no alarm type.
const char *AlarmTypeName(uint32_t alarmType);

// "ONU_ACTIVATED" for 4 (the enumerator without eZQ_CMAPI_EVENT_); null for a value that names no
// event.
const char *EventName(uint32_t eventId);

} // namespace oltmgr

#endif // RELAYKIT_OLTMGR_NAMES_H

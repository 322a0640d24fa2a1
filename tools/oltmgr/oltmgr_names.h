// oltmgr_names.h - the names of resource ids, operations and results as the OLT manager's log
// prints them: the enumerator without its common prefix for resources and operations, the whole
// enumerator for results.
#ifndef RELAYKIT_OLTMGR_NAMES_H
#define RELAYKIT_OLTMGR_NAMES_H

#include <cstdint>

namespace oltmgr {

// "EQPT_ONU_CONFIG" for 6; null for an id outside 1 to 108.
const char *ResIdName(uint32_t resId);

// "CREATE" for 1, "GET_CFG_BY_SERNUMBER" for 11; null outside 1 to 11.
const char *OperName(uint32_t operType);

// "eOS_RET_OLT_INSTANCE_EXISTS" for 23; null for a value that is not one of 0 to 46.
const char *RetName(uint32_t ret);

} // namespace oltmgr

#endif // RELAYKIT_OLTMGR_NAMES_H

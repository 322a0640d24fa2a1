// sim_log.h - the emulator's log: one line per request, registration, notification or event of
// its own life, written whole to standard output and flushed at once, from any thread.
#ifndef OLTMGR_SIM_LOG_H
#define OLTMGR_SIM_LOG_H

#include <netinet/in.h>

#include <string>

#include "oltmgr_store.h"

namespace oltmgr::sim {

// Writes text and a newline to standard output as one piece, then flushes.
void LogLine(const std::string &text);

// "127.0.0.1:40001"
std::string EndpointText(const sockaddr_in &address);

// The key as a reader wants it: "onu 1/0/3/17" for an ONU configuration, "system" for the
// system configuration, "-" for the zero key, else its bytes in hexadecimal up to the last
// non-zero one.
std::string KeySummary(uint32_t resId, const Key &key);

// The line of one answered request: operation, resource, key, result and what was found, e.g.
// "request tid 7 CREATE EQPT_ONU_CONFIG(6) onu 1/0/3/17 -> eOS_RET_SUCCESS".
std::string RequestLine(const Bytes &request, const Bytes &answer);

// The line of one answered alarm registration or unregistration.
std::string RegistrationLine(const Bytes &request, const Bytes &answer, const sockaddr_in &from);

} // namespace oltmgr::sim

#endif // OLTMGR_SIM_LOG_H

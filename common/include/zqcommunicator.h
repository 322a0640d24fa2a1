/* zqcommunicator.h - the communicator of the CM client: the connection to the OLT manager and the
 * copy of text output to the host CLI's telnet connection. */
#ifndef RELAYKIT_ZQCOMMUNICATOR_H
#define RELAYKIT_ZQCOMMUNICATOR_H

#include "ostypes.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- CLI telnet connection ------------------------------------------------------------------ *
 * Set by the host's CLI, only read by the library; all three start at zero. */
RELAYKIT_API extern eOsBool CliTelnetConnectedB; /* a telnet client is connected */
RELAYKIT_API extern uint16 CliTelnetEnable;      /* non-zero: copy output to the connection */
RELAYKIT_API extern int CliClientSocket;         /* descriptor of the connection's socket */

/* Sends the text (without terminator) on CliClientSocket when a client is connected, copying is
 * enabled and the descriptor is above 0; otherwise does nothing. Called by OsWrap__TextOut for
 * every text, from any thread. A peer that went away never raises SIGPIPE; a partial send is
 * completed. A client that stops reading never holds a caller up for long: a text that finds no
 * room within about 200 ms is dropped for the connection, and later texts are sent only as far as
 * the connection takes them at once, until one goes out whole. A failed send, and the first text
 * of such a stall, is reported once as a major log ("CLI sent to Telnet session failed.\n"); that
 * report failing in turn is not reported again. */
RELAYKIT_API void WriteToCliTelnetSocket(char *textP);

#ifdef __cplusplus
}
#endif

#endif /* RELAYKIT_ZQCOMMUNICATOR_H */

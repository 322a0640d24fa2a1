// cmctl_commands.h - one cmctl run: the options that apply to every command, the command's own
// arguments, and the exit statuses.
#ifndef RELAYKIT_CMCTL_COMMANDS_H
#define RELAYKIT_CMCTL_COMMANDS_H

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "cmctl_channel.h"

namespace cmctl {

enum ExitStatus {
    kExitOk = 0,
    kExitRefused = 1,  // the OLT manager answered with a non-zero ret
    kExitUsage = 2,    // bad arguments
    kExitNoAnswer = 3, // no answer within --timeout, or the request could not be sent
    kExitNotReady = 4, // status: the manager answered but is not ready
    kExitLocal = 5,    // a local failure: sockets, the channel
};

struct Invocation {
    Endpoints endpoints;
    std::string manager = "127.0.0.1:47000"; // as given, for messages
    bool json = false;
    bool verbose = false;
    TraceSettings trace;
    std::string command;
    std::map<std::string, std::vector<std::string>, std::less<>> options; // by name, in order given
    std::vector<std::string> args;                                         // the positional ones

    bool Has(std::string_view name) const { return options.contains(name); }
    const std::string *Option(std::string_view name) const; // the last value given, or null
};

// Runs a parsed command; the channel is opened first where the command needs it.
int RunCommand(const Invocation &run);

// The object --json prints for a failure that has no answer of the manager to show (bad
// arguments, a local failure, an alarm wait run out): the command (null before one is known),
// "ok": false, the exit status and the message.
std::string ErrorJson(std::string_view operation, const std::string &message, int exit);

} // namespace cmctl

#endif // RELAYKIT_CMCTL_COMMANDS_H

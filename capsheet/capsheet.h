// capsheet.h - the tool's command line as a function: main calls it, and so can a harness that
// drives the whole conversion in one process.
#ifndef CAPSHEET_CAPSHEET_H
#define CAPSHEET_CAPSHEET_H

namespace capsheet {

// Runs capsheet with main's arguments and returns its exit status.
int Run(int argc, char **argv);

}  // namespace capsheet

#endif

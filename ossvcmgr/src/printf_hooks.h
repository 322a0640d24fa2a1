// printf_hooks.h - internal, not exported: lets white-box tests point the console writers at a
// file of their own instead of the system console.
#ifndef RELAYKIT_PRINTF_HOOKS_H
#define RELAYKIT_PRINTF_HOOKS_H

// Closes the console descriptor if open; the next console write opens pathP (null: "/dev/console").
void SvcConsoleSetTestPath(const char *pathP);

#endif // RELAYKIT_PRINTF_HOOKS_H

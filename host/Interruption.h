#pragma once

/// Ctrl-C and SIGTERM during a render: the temporary files being written are
/// removed and the tool exits with 130 (SIGINT) or 143 (SIGTERM), as shells
/// report a program ended by those signals. Paths are kept in fixed slots,
/// so the handler needs nothing but unlink and _exit.
namespace interruption {

/// Installs the handlers; call once at start.
void install();

/// Remembers a temporary to remove on interruption; returns its slot, or -1
/// when all are taken (the file is then only removed by normal cleanup).
int remember(const char* path);

/// Forgets the temporary of a slot (it was moved into place or removed).
void forget(int slot);

}  // namespace interruption

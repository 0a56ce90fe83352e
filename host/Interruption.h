#pragma once

#include <string>

/// Ctrl-C and SIGTERM during a render: the temporary files being written are
/// removed and the tool exits with 130 (SIGINT) or 143 (SIGTERM), as shells
/// report a program ended by those signals. Paths are kept in fixed slots,
/// so the handler needs nothing but unlink and _exit.
namespace interruption {

/// Installs the handlers; call once at start.
void install();

/// Creates a new private file from \p pattern, whose last six characters
/// ("XXXXXX") are replaced by the name chosen, and remembers it for removal on
/// interruption. The name is remembered before the file exists, so a signal
/// to any thread at any moment finds it. Returns the open descriptor, or -1
/// with errno set; \p slot gets the slot to forget, or -1 when all are taken
/// (the file is then only removed by normal cleanup).
int createTemporary(std::string& pattern, int& slot);

/// Forgets the temporary of a slot (it was moved into place or removed).
void forget(int slot);

}  // namespace interruption

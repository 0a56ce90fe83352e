// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

/// However the tool ends, no temporary file outlives it. Results are written
/// to unnamed files where the file system allows (they vanish with the
/// process, whatever ends it); a name exists only for the instant before a
/// finished result is moved into place, and such names are kept in fixed
/// slots that the handlers of Ctrl-C, SIGTERM, SIGHUP, a broken pipe and a
/// crash inside a plug-in remove, as does a plug-in that calls exit(). The
/// handlers need nothing but unlink, write and _exit. The tool then exits
/// with 128 + the signal, as shells report a program ended by it.
namespace interruption {

/// Installs the handlers; call once at start.
void install();

/// Gives a new file a name from \p pattern, whose last six characters
/// ("XXXXXX") are replaced by the name chosen: \p make(name) creates it and
/// answers 0, or -1 with errno set (EEXIST: another name is drawn). The name
/// is remembered for removal before the file exists, so a signal to any
/// thread at any moment finds it. Returns make's last answer; \p slot gets
/// the slot to forget, or -1 when none is held.
int claimName(std::string& pattern, int& slot, int (*make)(const char* name, void* context), void* context);

/// Creates a new private file from \p pattern, as claimName does; returns
/// the open descriptor, or -1 with errno set.
int createTemporary(std::string& pattern, int& slot);

/// Forgets the temporary of a slot (it was moved into place or removed).
void forget(int slot);

/// Marks work under way with a plug-in: a plug-in that ends the process
/// (exit() inside its code) is then reported as a failure, exit status 1,
/// instead of passing for a finished run.
class Working {
public:
  Working();
  ~Working();
  Working(const Working&) = delete;
  Working& operator=(const Working&) = delete;
};

}  // namespace interruption

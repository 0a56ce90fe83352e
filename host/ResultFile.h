// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

/// Where a result goes so that nothing is lost: a regular OUT (or one that
/// does not exist yet) is written to an unnamed file in its folder, which
/// replaces OUT, keeping OUT's permissions, only once it is complete and
/// synced to disk; a symbolic link's target is replaced the same way and the
/// link stays; a FIFO or device is written through; "-" is standard output.
/// Where the file system has no unnamed files, a hidden temporary beside OUT
/// takes its place, removed however the tool ends (Interruption.h).
class ResultFile {
public:
  /// Opens at once, so an unwritable place is reported before any work.
  /// Throws std::runtime_error naming the file and what is wrong.
  explicit ResultFile(const std::string& path);
  /// Drops the result unless it was committed.
  ~ResultFile();
  ResultFile(const ResultFile&) = delete;
  ResultFile& operator=(const ResultFile&) = delete;

  int descriptor() const { return fd; }
  /// True when OUT is replaced at commit (false: written through).
  bool replaces() const { return !destination.empty(); }
  const std::string& path() const { return given; }

  /// Syncs the file and moves it into place; throws std::runtime_error
  /// naming the file when that fails, leaving OUT as it was.
  void commit();
  /// Leaves OUT as it was: the result goes nowhere.
  void abandon();

private:
  [[noreturn]] void fail(const std::string& what);

  std::string given;        // as given
  std::string destination;  // what is replaced at the end; empty when written through
  std::string temporary;    // the hidden name, where the file system has no unnamed files
  int slot = -1;            // where an interruption finds that name
  int fd = -1;
  bool ownDescriptor = false;
  bool done = false;
};

/// Throws unless `path` names somewhere a result can go without losing the
/// input: its folder exists, it is not a folder, it is not `input`.
void checkOutputPlace(const std::string& path, const std::string& input);

/// True when two paths name the same file: the same path once links are
/// resolved, or the same file on disk.
bool sameFile(const std::string& a, const std::string& b);

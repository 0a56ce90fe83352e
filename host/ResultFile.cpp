// SPDX-License-Identifier: GPL-3.0-or-later
#include "ResultFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "Interruption.h"

namespace fs = std::filesystem;

namespace {

// Short, so that OUT's name can be as long as the file system allows.
constexpr const char* kHiddenPattern = ".tbd-XXXXXX";

std::runtime_error failure(const std::string& path, const std::string& what) {
  return std::runtime_error("'" + path + "': " + what);
}

std::string reason() { return std::strerror(errno); }

fs::path folderOf(const fs::path& file) { return file.has_parent_path() ? file.parent_path() : fs::path("."); }

mode_t currentUmask() {
  const mode_t mask = umask(0);
  umask(mask);
  return mask;
}

// An unnamed file gets its name through the process's view of its descriptor.
int linkDescriptor(const char* name, void* context) {
  const std::string self = "/proc/self/fd/" + std::to_string(*static_cast<int*>(context));
  return linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name, AT_SYMLINK_FOLLOW);
}

}  // namespace

ResultFile::ResultFile(const std::string& path) : given(path) {
  struct stat st {};
  const bool exists = path != "-" && lstat(path.c_str(), &st) == 0;
  if (path == "-") {
    fd = STDOUT_FILENO;
    return;
  }
  if (exists && (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))) {
    // A pipe or device is the reader's or the system's: written through.
    fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) throw failure(path, "cannot open it for writing (" + reason() + ")");
    ownDescriptor = true;
    return;
  }
  // A link stays a link: its target is what gets replaced.
  destination = exists && S_ISLNK(st.st_mode) ? fs::weakly_canonical(path).string() : path;
  const fs::path folder = folderOf(destination);
  if (access("/proc/self/fd", X_OK) == 0)
    fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  else
    errno = EOPNOTSUPP;  // no way to name an unnamed file later
  if (fd < 0 && errno != EACCES && errno != EROFS && errno != ENOENT) {
    temporary = (folder / kHiddenPattern).string();
    fd = interruption::createTemporary(temporary, slot);
    if (fd < 0) temporary.clear();
  }
  if (fd < 0) throw failure(path, "cannot create a file in '" + folder.string() + "' (" + reason() + ")");
  ownDescriptor = true;
  // The result keeps the permissions of the file it replaces, or gets the
  // usual ones (the file is created private).
  struct stat old {};
  fchmod(fd, stat(destination.c_str(), &old) == 0 ? old.st_mode & 07777 : 0666 & ~currentUmask());
}

ResultFile::~ResultFile() {
  if (!done) abandon();
}

void ResultFile::abandon() {
  if (ownDescriptor && fd >= 0) ::close(fd);
  fd = -1;
  if (!temporary.empty()) std::remove(temporary.c_str());
  temporary.clear();
  interruption::forget(slot);
  slot = -1;
  done = true;
}

void ResultFile::fail(const std::string& what) {
  abandon();
  throw failure(given, what);
}

void ResultFile::commit() {
  if (replaces()) {
    if (fsync(fd) != 0) fail("cannot sync it to disk (" + reason() + ")");
    if (temporary.empty()) {
      temporary = (folderOf(destination) / kHiddenPattern).string();
      if (interruption::claimName(temporary, slot, linkDescriptor, &fd) != 0) {
        temporary.clear();
        fail("cannot give the finished file a name (" + reason() + ")");
      }
    }
  }
  if (ownDescriptor && ::close(fd) != 0) {
    fd = -1;
    fail("closing it failed (" + reason() + ")");
  }
  fd = -1;
  if (replaces() && std::rename(temporary.c_str(), destination.c_str()) != 0)
    fail("cannot move the finished file into place (" + reason() + ")");
  temporary.clear();
  interruption::forget(slot);
  slot = -1;
  done = true;
}

bool sameFile(const std::string& a, const std::string& b) {
  if (a == "-" || b == "-") return false;
  std::error_code ec, ignored;
  const fs::path ca = fs::weakly_canonical(fs::absolute(a), ec), cb = fs::weakly_canonical(fs::absolute(b), ignored);
  if (!ec && ca == cb) return true;
  return fs::exists(a, ignored) && fs::exists(b, ignored) && fs::equivalent(a, b, ignored);
}

void checkOutputPlace(const std::string& path, const std::string& input) {
  if (path == "-") return;
  const fs::path out(path);
  const fs::path folder = folderOf(out);
  if (!fs::is_directory(folder)) throw failure(path, "its folder '" + folder.string() + "' does not exist");
  if (fs::is_directory(out)) throw failure(path, "is a folder");
  if (!input.empty() && sameFile(path, input))
    throw failure(path, "is the input file; write the result to another file");
}

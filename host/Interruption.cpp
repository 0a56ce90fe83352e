// SPDX-License-Identifier: GPL-3.0-or-later
#include "Interruption.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <random>

namespace interruption {

namespace {

constexpr int kSlots = 64;  // more than the parallel jobs a batch runs
constexpr int kFailedStatus = 1;

enum State : int { kFree, kClaimed, kArmed };

struct Slot {
  std::atomic<int> state{kFree};
  char path[PATH_MAX] = {};
};

// What the handlers reach: the slots and the count of work under way. Nothing
// else in the tool is global.
struct Shared {
  Slot slots[kSlots];
  std::atomic<int> working{0};
};

Shared& shared() {
  static Shared table;
  return table;
}

void removeArmed() {
  Slot* table = shared().slots;
  for (int i = 0; i < kSlots; ++i)
    if (table[i].state.load() == kArmed) unlink(table[i].path);
}

void say(const char* text) {
  const ssize_t ignored = write(STDERR_FILENO, text, std::strlen(text));
  (void)ignored;
}

void handleStop(int signal) {
  removeArmed();
  _exit(128 + signal);
}

// A crash (most likely inside a plug-in) still removes what is ours, then
// ends the way the crash would have, so a core dump and the status stay true.
void handleCrash(int signal) {
  removeArmed();
  say("tribandist: error: the process crashed (");
  say(strsignal(signal));
  say("), most likely inside the plug-in; no result was written\n");
  ::signal(signal, SIG_DFL);
  raise(signal);
}

void atExit() {
  if (shared().working.load() == 0) return;
  removeArmed();
  say("tribandist: error: the plug-in ended the process while it was working; no result was written\n");
  _exit(kFailedStatus);
}

int openPrivate(const char* name, void*) { return ::open(name, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600); }

}  // namespace

void install() {
  shared();  // built before any signal can arrive
  struct sigaction action {};
  sigemptyset(&action.sa_mask);
  action.sa_handler = handleStop;
  for (int s : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) sigaction(s, &action, nullptr);
  action.sa_handler = handleCrash;
  action.sa_flags = SA_RESETHAND;
  for (int s : {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT}) sigaction(s, &action, nullptr);
  std::atexit(atExit);
}

namespace {

int claimSlot() {
  Slot* table = shared().slots;
  for (int i = 0; i < kSlots; ++i) {
    int expected = kFree;
    if (table[i].state.compare_exchange_strong(expected, kClaimed)) return i;
  }
  return -1;
}

}  // namespace

int claimName(std::string& pattern, int& slot, int (*make)(const char* name, void* context), void* context) {
  constexpr std::size_t kRandomChars = 6;
  constexpr int kAttempts = 100;
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  slot = -1;
  if (pattern.size() < kRandomChars || pattern.size() >= PATH_MAX) {
    errno = ENAMETOOLONG;
    return -1;
  }
  std::random_device seed;
  std::mt19937 pick(seed());
  std::uniform_int_distribution<std::size_t> letter(0, sizeof kAlphabet - 2);
  slot = claimSlot();
  Slot* table = shared().slots;
  int answer = -1;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    for (std::size_t i = pattern.size() - kRandomChars; i < pattern.size(); ++i) pattern[i] = kAlphabet[letter(pick)];
    // Armed before the file exists, so that a signal at any moment leaves
    // nothing behind. The name is disarmed at once when it is taken: only a
    // signal in that instant, after a one-in-62^6 clash, could remove the other.
    if (slot >= 0) {
      table[slot].state.store(kClaimed);
      std::memcpy(table[slot].path, pattern.c_str(), pattern.size() + 1);
      table[slot].state.store(kArmed);
    }
    answer = make(pattern.c_str(), context);
    if (answer >= 0) return answer;
    if (slot >= 0) table[slot].state.store(kClaimed);
    if (errno != EEXIST) break;
  }
  const int error = errno;
  forget(slot);
  slot = -1;
  errno = error;
  return answer;
}

int createTemporary(std::string& pattern, int& slot) { return claimName(pattern, slot, openPrivate, nullptr); }

void forget(int slot) {
  if (slot >= 0 && slot < kSlots) shared().slots[slot].state.store(kFree);
}

Working::Working() { shared().working.fetch_add(1); }
Working::~Working() { shared().working.fetch_sub(1); }

}  // namespace interruption

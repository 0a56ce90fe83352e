#include "Interruption.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cerrno>
#include <cstring>
#include <random>

namespace interruption {

namespace {

constexpr int kSlots = 64;  // more than the parallel jobs a batch runs

enum State : int { kFree, kClaimed, kArmed };

struct Slot {
  std::atomic<int> state{kFree};
  char path[PATH_MAX] = {};
};

// The handler reaches the slots through this one table; nothing else in the
// tool is global.
Slot* slots() {
  static Slot table[kSlots];
  return table;
}

void handle(int signal) {
  Slot* table = slots();
  for (int i = 0; i < kSlots; ++i)
    if (table[i].state.load() == kArmed) unlink(table[i].path);
  _exit(128 + signal);
}

}  // namespace

void install() {
  slots();  // built before any signal can arrive
  struct sigaction action {};
  action.sa_handler = handle;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

namespace {

int claimSlot() {
  Slot* table = slots();
  for (int i = 0; i < kSlots; ++i) {
    int expected = kFree;
    if (table[i].state.compare_exchange_strong(expected, kClaimed)) return i;
  }
  return -1;
}

}  // namespace

int createTemporary(std::string& pattern, int& slot) {
  constexpr std::size_t kRandomChars = 6;
  constexpr int kAttempts = 100;
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  if (pattern.size() < kRandomChars || pattern.size() >= PATH_MAX) {
    errno = ENAMETOOLONG;
    slot = -1;
    return -1;
  }
  std::random_device seed;
  std::mt19937 pick(seed());
  std::uniform_int_distribution<std::size_t> letter(0, sizeof kAlphabet - 2);
  slot = claimSlot();
  Slot* table = slots();
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
    const int descriptor = ::open(pattern.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (descriptor >= 0) return descriptor;
    if (slot >= 0) table[slot].state.store(kClaimed);
    if (errno != EEXIST) break;
  }
  const int error = errno;
  forget(slot);
  slot = -1;
  errno = error;
  return -1;
}

void forget(int slot) {
  if (slot >= 0 && slot < kSlots) slots()[slot].state.store(kFree);
}

}  // namespace interruption

#include "Interruption.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstring>

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

int remember(const char* path) {
  Slot* table = slots();
  if (std::strlen(path) >= PATH_MAX) return -1;
  for (int i = 0; i < kSlots; ++i) {
    int expected = kFree;
    if (!table[i].state.compare_exchange_strong(expected, kClaimed)) continue;
    std::strcpy(table[i].path, path);
    table[i].state.store(kArmed);
    return i;
  }
  return -1;
}

void forget(int slot) {
  if (slot >= 0 && slot < kSlots) slots()[slot].state.store(kFree);
}

}  // namespace interruption

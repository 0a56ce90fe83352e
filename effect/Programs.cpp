// SPDX-License-Identifier: GPL-3.0-or-later
#include <cstdio>
#include <cstring>

#include "ParameterSide.h"

ProgramRecord::ProgramRecord() {
  for (int i = 0; i < param::count; ++i) values[i].store(param::kTable[i].defaultValue, std::memory_order_relaxed);
}

void ParameterSide::setProgramName(int32_t program, const char* name) {
  const NamesGuard guard(namesLock);
  char* stored = programs[program].name;
  std::strncpy(stored, name, ProgramRecord::kNameSize - 1);
  stored[ProgramRecord::kNameSize - 1] = '\0';
}

// Program 0 always reads "--- Default ---"; a program never named reads
// "Init" and its number.
void ParameterSide::getProgramName(int32_t program, char* text) {
  constexpr const char* kDefaultProgramName = "--- Default ---";
  constexpr const char* kUnnamed = "Init";
  const NamesGuard guard(namesLock);
  std::strcpy(programs[0].name, kDefaultProgramName);
  const char* stored = programs[program].name;
  if (std::strcmp(stored, kUnnamed) == 0)
    std::sprintf(text, "%s %d", stored, program);
  else
    std::strcpy(text, stored);
}

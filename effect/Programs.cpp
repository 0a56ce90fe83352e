#include <cstdio>
#include <cstring>

#include "TriBandDistortion.h"

ProgramRecord::ProgramRecord() {
  for (int i = 0; i < param::count; ++i) values[i].store(param::kTable[i].defaultValue, std::memory_order_relaxed);
}

// Program 0 is the fixed default: selecting it reloads the defaults into its
// record and the working state, so edits made in it last until it is
// selected again.
void TriBandDistortion::setProgram(int32_t program) {
  if (program < 0 || program >= kNumPrograms) return;
  curProgram = program;
  if (program == 0) {
    for (int i = 0; i < param::count; ++i)
      (this->*kWorkingValue[i]).store(param::kTable[i].defaultValue, std::memory_order_relaxed);
    for (int i = 0; i < param::count; ++i) setParameter(i, param::kTable[i].defaultValue);
    return;
  }
  ProgramRecord& record = programs[program];
  for (int i = 0; i < param::count; ++i) setParameter(i, record.values[i].load(std::memory_order_relaxed));
}

void TriBandDistortion::setProgramName(char* name) {
  char* stored = programs[curProgram].name;
  std::strncpy(stored, name, ProgramRecord::kNameSize - 1);
  stored[ProgramRecord::kNameSize - 1] = '\0';
}

void TriBandDistortion::getProgramName(char* name) {
  constexpr const char* kDefaultProgramName = "--- Default ---";
  constexpr const char* kUnnamed = "Init";
  std::strcpy(programs[0].name, kDefaultProgramName);
  const char* stored = programs[curProgram].name;
  if (std::strcmp(stored, kUnnamed) == 0)
    std::sprintf(name, "%s %d", stored, curProgram);
  else
    std::strcpy(name, stored);
}

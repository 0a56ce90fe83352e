// SPDX-License-Identifier: GPL-3.0-or-later
#include "Prelude.h"
#include "Unchained.h"
#include "Unchained.inc"

void unchainedAvx2(BlockJob& job);

// As the effect's set does, a short block of light curves runs the AVX2 code.
void unchainedAvx512(BlockJob& job) {
  if (shortAndLight(job))
    unchainedAvx2(job);
  else
    renderBlock(job);
}

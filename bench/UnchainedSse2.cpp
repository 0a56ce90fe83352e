// SPDX-License-Identifier: GPL-3.0-or-later
#include "Prelude.h"
#include "Unchained.h"
#include "Unchained.inc"

void unchainedSse2(BlockJob& job) { renderBlock(job); }

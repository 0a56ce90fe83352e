// SPDX-License-Identifier: GPL-3.0-or-later
#include <new>

#include "TriBandDistortion.h"

// The one effect this library hands to hosts. nothrow: a failed allocation
// reaches the host as a null record, never as an exception.
EffectBase* createEffectInstance(audioMasterCallback audioMaster) {
  return new (std::nothrow) TriBandDistortion(audioMaster);
}

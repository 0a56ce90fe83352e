// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <string>

/// Checks a plug-in against the rules of its interface, as a validator does:
/// one line per check on stdout, "pass" or "FAIL" with the reason; progress
/// of the long ones through `progress`. Returns the number of failed checks.
/// Our own plug-ins and anyone's: for CLAP the descriptor, factory,
/// parameter, text, state, processing and threading rules; for the record
/// interface those of them it has.
int checkPlugin(const std::string& path, const std::function<void(const std::string&)>& progress);

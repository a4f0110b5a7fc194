// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "runtime/runtime.h"

namespace platform {

// Shows a runtime error as the program's message box: caption "Quirlbild", the error's number
// and its German message.
void showErrorDialog(const RuntimeError& error);

}  // namespace platform

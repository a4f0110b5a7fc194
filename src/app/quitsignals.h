// SPDX-License-Identifier: GPL-3.0-or-later
// The system's requests to end (SIGTERM at log-out, SIGINT from a terminal, SIGHUP when the
// terminal goes) end the program as closing its window does: a drawing or a file under way stops,
// a file being written leaves nothing behind, and the program exits normally.
#pragma once

class QWidget;

// Closes `window` and ends the event loop when such a request comes. Where the system has no such
// signals, nothing.
void closeOnQuitSignals(QWidget* window);

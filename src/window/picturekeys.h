// SPDX-License-Identifier: GPL-3.0-or-later
// The keys that take the picture out of the window, and the one for help: one list, from which
// the window makes its shortcuts and the help window its lines about them.
#pragma once

#include <QKeySequence>
#include <QString>

#include <span>

namespace window {

class Form1;

struct PictureKey {
  QKeySequence keys;
  void (Form1::*act)();
  const char* name;  // as the help window names the keys, in German
  const char* does;  // what the help window says they do, as HTML
};

std::span<const PictureKey> pictureKeys();

// The help window's list items for the picture keys, in the list's order.
QString pictureKeysHelp();

}  // namespace window

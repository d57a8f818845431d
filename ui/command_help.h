// What the editor says about a command button: its tooltip (the title,
// what its statement does, its codes and its key) and the key that clicks
// it while the program list has focus, A for button 1 to Z for button 26.
#pragma once

#include <QString>
#include <Qt>

#include "program/command_table.h"

namespace dozu {

QChar command_key(int tag);
// The button that a key press clicks, or 0: a letter without Ctrl, Alt
// or Meta.
int command_of_key(int key, Qt::KeyboardModifiers modifiers);
QString command_tooltip(const CommandTable& table, int tag);

}  // namespace dozu

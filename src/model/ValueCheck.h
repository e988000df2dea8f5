#pragma once

#include "Value.h"

#include <QString>

// Whether a value can go to the unit: a list item's value is one of its
// choices, a number lies within its item's limits, a text holds no control
// byte (0x00-0x1F, 0x7F) and fits one frame. Each check gives why not, in
// words naming the value, or an empty text when the value can be sent.
namespace ValueCheck {

// A text for a frame: a text item's value, a pager address or message.
QString textProblem(const QString &text);
// A stored value of item n, as the engine is about to send it.
QString valueProblem(int n, const Value &value);
// A value as a settings file or an argument gives it for item n: for a
// number item the text must be a whole number and nothing else.
QString valueTextProblem(int n, const QString &text);

} // namespace ValueCheck

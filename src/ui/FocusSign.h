#pragma once

#include <QPlainTextEdit>

// A read-only text box shows no text cursor, and some styles draw no focus
// frame around it either: it gets a highlight-coloured border while it has
// the focus, so the operator sees where the tab key went.
inline void showFocusFrame(QPlainTextEdit *box)
{
    // Both states styled alike, so the text does not move when the focus comes.
    box->setStyleSheet(QStringLiteral("QPlainTextEdit { border: 1px solid palette(mid); padding: 1px; }"
                                      "QPlainTextEdit:focus { border: 2px solid palette(highlight); padding: 0px; }"));
}

// Whether the box carries that sign.
inline bool hasFocusFrame(const QPlainTextEdit *box)
{
    return box->styleSheet().contains(QLatin1String(":focus"));
}

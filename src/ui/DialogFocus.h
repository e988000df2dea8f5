#pragma once

#include "protocol/OperatorView.h"

#include <QApplication>
#include <QWidget>

// A dialog that must be closed before the main window is used again: when
// another window of the program became active while it is open, it takes the
// focus back with a beep. A message box opened over the dialog is left alone.
inline void takeFocusBack(QWidget *dialog, OperatorView &view)
{
    QWidget *active = QApplication::activeWindow();
    if (!dialog->isVisible() || !active || active == dialog || QApplication::activeModalWidget() != dialog)
        return;
    view.beep();
    dialog->raise();
    dialog->activateWindow();
}

#pragma once

#include <QObject>

class QWidget;

// Keeps a turn of the mouse wheel from changing a value the operator did not
// pick: a guarded control takes the wheel only while it has the keyboard
// focus (a click or Tab first). Without it, the wheel goes on to the control's
// parents, so the page under the pointer scrolls and no value moves.
class WheelGuard : public QObject
{
    Q_OBJECT

public:
    // Guards the control; the guard is the control's child and goes with it.
    static void install(QWidget *control);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit WheelGuard(QWidget *control);
};

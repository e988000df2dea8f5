#include "WheelGuard.h"

#include <QEvent>
#include <QWidget>

WheelGuard::WheelGuard(QWidget *control)
    : QObject(control)
{
}

void WheelGuard::install(QWidget *control)
{
    // A combo box takes the focus from a wheel turn (WheelFocus); then the
    // turn would count as the operator's choice. Click and Tab still give it.
    control->setFocusPolicy(Qt::StrongFocus);
    control->installEventFilter(new WheelGuard(control));
}

bool WheelGuard::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Wheel) {
        const auto *control = qobject_cast<QWidget *>(watched);
        if (control && !control->hasFocus()) {
            // Ignored and filtered: the application hands it to the parents,
            // up to the scroll area of the page.
            event->ignore();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

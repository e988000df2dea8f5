#pragma once

#include <QAbstractScrollArea>
#include <QScrollBar>

#include <memory>

// Keeps the newest line, at the bottom, in view: while the view is scrolled
// to its end it stays there when lines come or the view grows or shrinks (a
// larger font or scale factor); once the operator scrolls up, it stays put.
inline void keepNewestInView(QAbstractScrollArea *area)
{
    // A new view starts at its end.
    QScrollBar *bar = area->verticalScrollBar();
    bar->setValue(bar->maximum());
    auto atEnd = std::make_shared<bool>(true);
    QObject::connect(bar, &QScrollBar::valueChanged, area,
                     [bar, atEnd](int value) { *atEnd = value == bar->maximum(); });
    QObject::connect(bar, &QScrollBar::rangeChanged, area, [bar, atEnd](int, int maximum) {
        if (*atEnd)
            bar->setValue(maximum);
    });
}

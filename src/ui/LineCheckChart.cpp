#include "LineCheckChart.h"

#include <QPainter>

#include <algorithm>

const QColor LineCheckChart::kAnswered(0x2e, 0x7d, 0x32);
const QColor LineCheckChart::kFailed(0xc6, 0x28, 0x28);

LineCheckChart::LineCheckChart(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("LineCheckChart"));
    setAccessibleName(QStringLiteral("Answer times of the line check"));
    setMinimumHeight(60);
}

void LineCheckChart::setCheck(const LineCheck &check)
{
    m_check = check;
    setAccessibleDescription(check.summary());
    setToolTip(check.summary());
    update();
}

void LineCheckChart::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area = QRectF(rect()).adjusted(2, 2, -2, -2);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawLine(area.bottomLeft(), area.bottomRight());
    const QList<LineCheck::Exchange> &exchanges = m_check.exchanges();
    const int places = std::max<int>(m_check.count(), int(exchanges.size()));
    if (places == 0)
        return;
    qint64 slowest = 1;
    for (const LineCheck::Exchange &e : exchanges)
        slowest = std::max(slowest, e.answerMs.value_or(0));
    const qreal slot = area.width() / places;
    const qreal gap = std::min<qreal>(3, slot / 4);
    for (qsizetype i = 0; i < exchanges.size(); ++i) {
        const LineCheck::Exchange &e = exchanges.at(i);
        const qreal x = area.left() + i * slot + gap / 2;
        // An answer without a time still shows as answered, a low bar.
        const qreal height = e.answered() ? std::max<qreal>(3, area.height() * e.answerMs.value_or(0) / slowest)
                                          : area.height();
        const QRectF bar(x, area.bottom() - height, slot - gap, height);
        painter.fillRect(bar, e.answered() ? kAnswered : kFailed);
        if (!e.answered()) {
            // The cross marks a failure for those who cannot tell the colours apart.
            const qreal side = std::min(bar.width(), qreal(12)) * 0.8;
            const QRectF cross(bar.center().x() - side / 2, bar.top() + 3, side, side);
            painter.setPen(QPen(Qt::white, 2));
            painter.drawLine(cross.topLeft(), cross.bottomRight());
            painter.drawLine(cross.topRight(), cross.bottomLeft());
        }
    }
}

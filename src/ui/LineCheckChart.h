#pragma once

#include "protocol/LineCheck.h"

#include <QWidget>

// The answer times of a line check as bars, one per read, scaled to the
// slowest; a failed read is a full-height bar in its own colour with a cross
// over it, so it does not rest on colour alone. The summary is the chart's
// accessible description.
class LineCheckChart : public QWidget
{
    Q_OBJECT

public:
    static const QColor kAnswered;
    static const QColor kFailed;

    explicit LineCheckChart(QWidget *parent = nullptr);

    void setCheck(const LineCheck &check);
    const LineCheck &check() const { return m_check; }

    QSize sizeHint() const override { return {320, 90}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    LineCheck m_check;
};

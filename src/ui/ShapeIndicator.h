#pragma once

#include <QColor>
#include <QWidget>

// A filled shape in a fixed colour, as the transmit and receive indicators.
class ShapeIndicator : public QWidget
{
    Q_OBJECT

public:
    explicit ShapeIndicator(const QColor &fill, QWidget *parent = nullptr);

    QColor fillColour() const { return m_fill; }
    void setFillColour(const QColor &fill);

    QSize sizeHint() const override { return {22, 14}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_fill;
};

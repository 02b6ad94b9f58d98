#include "window/qt/lamp.h"

#include "window/dccd.h"

#include <QPainter>
#include <QPen>

namespace tuner {

Lamp::Lamp(QWidget *parent) : QWidget(parent) {
    setFocusPolicy(Qt::NoFocus);
    setAccessibleName(QStringLiteral("Connection lamp"));
    setAccessibleDescription(Describe(m_fillColor));
}

void Lamp::SetFillColor(qint32 color) {
    if (m_fillColor == color)
        return;
    m_fillColor = color;
    setAccessibleDescription(Describe(color));
    update();
}

QColor Lamp::ToColor(qint32 color) {
    return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

QString Lamp::Describe(qint32 color) {
    switch (color) {
    case kLampRed:
        return QStringLiteral("Not connected");
    case kLampYellow:
        return QStringLiteral("Waiting for the controller");
    case kLampGreen:
        return QStringLiteral("Parameters received");
    default:
        return QStringLiteral("Off");
    }
}

void Lamp::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const int diameter = qMin(width(), height()) - 2;
    const QRectF circle((width() - diameter) / 2.0, (height() - diameter) / 2.0, diameter,
                        diameter);
    painter.setPen(QPen(palette().color(QPalette::WindowText), 1));
    painter.setBrush(ToColor(m_fillColor));
    painter.drawEllipse(circle);
}

} // namespace tuner

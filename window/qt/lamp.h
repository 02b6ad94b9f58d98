#pragma once

#include <QColor>
#include <QWidget>

namespace tuner {

// The connection lamp: a circle filled with the lamp colour, outlined in the text colour.
class Lamp : public QWidget {
    Q_OBJECT

public:
    explicit Lamp(QWidget *parent = nullptr);

    // 24-bit colour, low byte red, middle byte green, high byte blue.
    void SetFillColor(qint32 color);
    qint32 FillColor() const { return m_fillColor; }

    static QColor ToColor(qint32 color);
    // The lamp's state in words for a screen reader.
    static QString Describe(qint32 color);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    qint32 m_fillColor = 0;
};

} // namespace tuner

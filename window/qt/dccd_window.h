#pragma once

#include "window/dccd.h"
#include "window/layout.h"

#include <QHash>
#include <QList>
#include <QWidget>

class QComboBox;

namespace tuner {

// The window on screen: one Qt widget per control of the model, placed as designed. It only
// mirrors: typing becomes a Text write, clicks run the handlers, model writes update widgets.
class DccdWindow : public QWidget {
    Q_OBJECT

public:
    explicit DccdWindow(DCCD &model, QWidget *parent = nullptr);
    ~DccdWindow() override;

    QWidget *Widget(const QString &name) const { return m_widgets.value(name); }

    // Families for the designed fonts where the machine lacks them, with the faces built into
    // the program; false when a built-in face cannot be loaded. Call once after the
    // application object exists.
    static bool InstallFontSubstitutes();
    // The font a control is designed with, substitutes applied.
    static QFont DesignedFont(const QString &name);

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Build();
    QWidget *MakeWidget(const ControlLayout &design, Control *control);
    QWidget *MakePortList(Control *control);
    void Place(QWidget *widget, const ControlLayout &design, const Control &control);
    void SetTabOrder();
    void Mirror(const Control &control, ControlProperty property);
    void MirrorItems(QComboBox &combo, const Control &control);
    void UpdateAccessibleName(const Control &control);
    void UpdateHint(const Control &control);

    DCCD &m_model;
    QHash<QString, QWidget *> m_widgets;
    QList<QWidget *> m_tabOrder; // buttons, boxes and the port list in tab-index order
    bool m_shownOnce = false;
    QList<std::pair<Control *, int>> m_observers;
};

} // namespace tuner

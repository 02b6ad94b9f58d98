#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <utility>

namespace tuner {

enum class ControlKind { Label, CommandButton, TextBox, ComboBox, Shape };

struct ControlLayout;

// Which property of a control a write changed; told to the observers.
enum class ControlProperty { Caption, Text, Enabled, FillColor, Items };

// One control of the window as the handlers see it: a caption, a text, an enabled state, a
// fill colour and a list of items. Handlers never draw; an adapter mirrors the properties onto
// widgets, and a trace records them, as observers of the control.
class Control {
public:
    Control(QString name, ControlKind kind);
    // A control in its designed initial state: caption or text, enabled or not.
    explicit Control(const ControlLayout &design);
    Control(const Control &) = delete;
    Control &operator=(const Control &) = delete;

    const QString &Name() const { return m_name; }
    ControlKind Kind() const { return m_kind; }

    const QString &Caption() const { return m_caption; }
    void SetCaption(const QString &caption);

    // Writing a different text raises Change inside the write, after the observers.
    const QString &Text() const { return m_text; }
    void SetText(const QString &text);

    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool enabled);

    // 24-bit colour, low byte red, middle byte green, high byte blue.
    qint32 FillColor() const { return m_fillColor; }
    void SetFillColor(qint32 color);

    void AddItem(const QString &item);
    const QStringList &Items() const { return m_items; }

    // Raises Click when the control is enabled; a disabled control raises none.
    void RaiseClick();

    // Events: the window's handlers. Empty means the event is not handled.
    std::function<void()> Change;
    std::function<void()> Click;

    // Observers are told of every property write that changed something, in the order they
    // were added. They must not write the control back; they never raise Change.
    using Observer = std::function<void(const Control &, ControlProperty)>;
    // Adds an observer; the number it gives removes it again.
    int Observe(Observer observer);
    void Forget(int observer);

private:
    void Notify(ControlProperty property);

    QString m_name;
    ControlKind m_kind;
    QString m_caption;
    QString m_text;
    bool m_enabled = true;
    qint32 m_fillColor = 0;
    QStringList m_items;
    QList<std::pair<int, Observer>> m_observers;
    int m_nextObserver = 1;
};

} // namespace tuner

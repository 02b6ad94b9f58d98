#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <utility>

namespace tuner {

enum class ControlKind { Label, CommandButton, TextBox, ComboBox, Shape };

// Which property of a control a write changed; told to the observers.
enum class ControlProperty { Caption, Text, Enabled, FillColor, Items, Hint };

// One control of the window as the handlers see it: a caption, a text, an enabled state, a
// fill colour, a list of items and a hint (what resting the pointer on it tells). Handlers never
// draw; an adapter mirrors the properties onto widgets, and a trace records them, as observers
// of the control.
class Control {
public:
    Control() = default;
    Control(QString name, ControlKind kind);
    Control(const Control &) = delete;
    Control &operator=(const Control &) = delete;

    // Gives the control its name and designed initial state (a label's or button's caption, a
    // box's text), once, before anything observes it.
    void Design(QString name, ControlKind kind, const QString &initial, bool enabled);

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

    // What the control tells beyond what it shows: a box's range and what is known of the
    // controller's value, the whole of a status that had to be shortened. Empty for none.
    const QString &Hint() const { return m_hint; }
    void SetHint(const QString &hint);

    void AddItem(const QString &item);
    const QStringList &Items() const { return m_items; }
    // The whole list at once, each item with its hint ("" for none; missing hints are "").
    void SetItems(const QStringList &items, QStringList hints = {});
    // Item i's hint: what resting the pointer on it in the open list tells.
    QString ItemHint(qsizetype item) const { return m_itemHints.value(item); }

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
    ControlKind m_kind = ControlKind::Label;
    QString m_caption;
    QString m_text;
    bool m_enabled = true;
    qint32 m_fillColor = 0;
    QStringList m_items;
    QStringList m_itemHints;
    QString m_hint;
    QList<std::pair<int, Observer>> m_observers;
    int m_nextObserver = 1;
};

} // namespace tuner

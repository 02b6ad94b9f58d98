#include "window/control.h"

#include <utility>

namespace tuner {

Control::Control(QString name, ControlKind kind) : m_name(std::move(name)), m_kind(kind) {}

void Control::Design(QString name, ControlKind kind, const QString &initial, bool enabled) {
    m_name = std::move(name);
    m_kind = kind;
    m_enabled = enabled;
    if (m_kind == ControlKind::TextBox || m_kind == ControlKind::ComboBox)
        m_text = initial;
    else
        m_caption = initial;
}

void Control::SetCaption(const QString &caption) {
    if (m_caption == caption)
        return;
    m_caption = caption;
    Notify(ControlProperty::Caption);
}

void Control::SetText(const QString &text) {
    if (m_text == text)
        return;
    m_text = text;
    Notify(ControlProperty::Text);
    if (Change)
        Change();
}

void Control::SetEnabled(bool enabled) {
    if (m_enabled == enabled)
        return;
    m_enabled = enabled;
    Notify(ControlProperty::Enabled);
}

void Control::SetFillColor(qint32 color) {
    if (m_fillColor == color)
        return;
    m_fillColor = color;
    Notify(ControlProperty::FillColor);
}

void Control::SetHint(const QString &hint) {
    if (m_hint == hint)
        return;
    m_hint = hint;
    Notify(ControlProperty::Hint);
}

void Control::AddItem(const QString &item) {
    m_items.append(item);
    m_itemHints.resize(m_items.size());
    Notify(ControlProperty::Items);
}

void Control::SetItems(const QStringList &items, QStringList hints) {
    hints.resize(items.size());
    if (m_items == items && m_itemHints == hints)
        return;
    m_items = items;
    m_itemHints = std::move(hints);
    Notify(ControlProperty::Items);
}

void Control::RaiseClick() {
    if (m_enabled && Click)
        Click();
}

int Control::Observe(Observer observer) {
    const int id = m_nextObserver++;
    m_observers.append({id, std::move(observer)});
    return id;
}

void Control::Forget(int observer) {
    m_observers.removeIf([observer](const auto &entry) { return entry.first == observer; });
}

void Control::Notify(ControlProperty property) {
    // A copy: an observer may add or remove observers while it is told.
    const QList<std::pair<int, Observer>> observers = m_observers;
    for (const auto &[id, observer] : observers)
        observer(*this, property);
}

} // namespace tuner

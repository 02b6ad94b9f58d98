#include "window/control.h"

#include "window/layout.h"

#include <utility>

namespace tuner {

Control::Control(QString name, ControlKind kind) : name_(std::move(name)), kind_(kind) {}

Control::Control(const ControlLayout &design)
    : name_(design.name), kind_(design.kind), enabled_(design.startsEnabled) {
    if (kind_ == ControlKind::TextBox || kind_ == ControlKind::ComboBox)
        text_ = design.caption;
    else
        caption_ = design.caption;
}

void Control::SetCaption(const QString &caption) {
    if (caption_ == caption)
        return;
    caption_ = caption;
    Notify(ControlProperty::Caption);
}

void Control::SetText(const QString &text) {
    if (text_ == text)
        return;
    text_ = text;
    Notify(ControlProperty::Text);
    if (Change)
        Change();
}

void Control::SetEnabled(bool enabled) {
    if (enabled_ == enabled)
        return;
    enabled_ = enabled;
    Notify(ControlProperty::Enabled);
}

void Control::SetFillColor(qint32 color) {
    if (fillColor_ == color)
        return;
    fillColor_ = color;
    Notify(ControlProperty::FillColor);
}

void Control::AddItem(const QString &item) {
    items_.append(item);
    Notify(ControlProperty::Items);
}

void Control::RaiseClick() {
    if (enabled_ && Click)
        Click();
}

void Control::Notify(ControlProperty property) {
    if (Mirror)
        Mirror(*this, property);
}

} // namespace tuner

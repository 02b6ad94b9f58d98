#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace tuner {

enum class ControlKind { Label, CommandButton, TextBox, ComboBox, Shape };

struct ControlLayout;

// Which property of a control a write changed; told to the mirror hook.
enum class ControlProperty { Caption, Text, Enabled, FillColor, Items };

// One control of the window as the handlers see it: a caption, a text, an enabled state, a
// fill colour and a list of items. Handlers never draw; an adapter mirrors the properties onto
// widgets through the mirror hook.
class Control {
public:
    Control(QString name, ControlKind kind);
    // A control in its designed initial state: caption or text, enabled or not.
    explicit Control(const ControlLayout &design);
    Control(const Control &) = delete;
    Control &operator=(const Control &) = delete;

    const QString &Name() const { return name_; }
    ControlKind Kind() const { return kind_; }

    const QString &Caption() const { return caption_; }
    void SetCaption(const QString &caption);

    // Writing a different text raises Change inside the write, after the mirror hook.
    const QString &Text() const { return text_; }
    void SetText(const QString &text);

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);

    // 24-bit colour, low byte red, middle byte green, high byte blue.
    qint32 FillColor() const { return fillColor_; }
    void SetFillColor(qint32 color);

    void AddItem(const QString &item);
    const QStringList &Items() const { return items_; }

    // Raises Click when the control is enabled; a disabled control raises none.
    void RaiseClick();

    // Events: the window's handlers. Empty means the event is not handled.
    std::function<void()> Change;
    std::function<void()> Click;

    // Adapter hook: told of every property write that changed something. It must not write
    // the control back; it never raises Change.
    std::function<void(const Control &, ControlProperty)> Mirror;

private:
    void Notify(ControlProperty property);

    QString name_;
    ControlKind kind_;
    QString caption_;
    QString text_;
    bool enabled_ = true;
    qint32 fillColor_ = 0;
    QStringList items_;
};

} // namespace tuner

#include "window/shown_trace.h"

#include <QIODevice>

namespace tuner {
namespace {

QString PropertyName(ControlProperty property) {
    switch (property) {
    case ControlProperty::Caption:
        return QStringLiteral("Caption");
    case ControlProperty::Text:
        return QStringLiteral("Text");
    case ControlProperty::Enabled:
        return QStringLiteral("Enabled");
    case ControlProperty::FillColor:
        return QStringLiteral("FillColor");
    case ControlProperty::Items:
        return QStringLiteral("Items");
    case ControlProperty::Hint:
        return QStringLiteral("Hint");
    }
    return {};
}

QString Value(const Control &control, ControlProperty property) {
    switch (property) {
    case ControlProperty::Caption:
        return control.Caption();
    case ControlProperty::Text:
        return control.Text();
    case ControlProperty::Enabled:
        return control.Enabled() ? QStringLiteral("1") : QStringLiteral("0");
    case ControlProperty::FillColor:
        return QString::number(control.FillColor());
    case ControlProperty::Items:
        return control.Items().join(u' ');
    case ControlProperty::Hint:
        return control.Hint();
    }
    return {};
}

// One line per change, whatever the value holds.
QString OneLine(QString text) {
    text.replace(u'\\', QStringLiteral("\\\\"));
    text.replace(u'\r', QStringLiteral("\\r"));
    text.replace(u'\n', QStringLiteral("\\n"));
    return text;
}

} // namespace

ShownTrace::ShownTrace(DCCD &window, QIODevice &out) : m_out(out) {
    m_clock.start();
    for (Control *control : window.Controls()) {
        m_observers.append({control, control->Observe([this](const Control &c, ControlProperty p) {
                                Write(c, p);
                            })});
    }
}

ShownTrace::~ShownTrace() {
    for (const auto &[control, observer] : std::as_const(m_observers))
        control->Forget(observer);
}

void ShownTrace::Write(const Control &control, ControlProperty property) {
    const QString line = QString::number(m_clock.elapsed()) + u' ' + control.Name() + u'.' +
                         PropertyName(property) + u' ' + OneLine(Value(control, property)) + u'\n';
    m_out.write(line.toUtf8());
}

} // namespace tuner

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

ShownTrace::ShownTrace(DCCD &window, QIODevice &out) : window_(window), out_(out) {
    clock_.start();
    for (Control *control : window_.Controls()) {
        previous_.append(control->Mirror);
        control->Mirror = [this, hook = control->Mirror](const Control &c, ControlProperty p) {
            if (hook)
                hook(c, p);
            Write(c, p);
        };
    }
}

ShownTrace::~ShownTrace() {
    const QList<Control *> &controls = window_.Controls();
    for (qsizetype i = 0; i < controls.size() && i < previous_.size(); ++i)
        controls.at(i)->Mirror = previous_.at(i);
}

void ShownTrace::Write(const Control &control, ControlProperty property) {
    const QString line = QString::number(clock_.elapsed()) + u' ' + control.Name() + u'.' +
                         PropertyName(property) + u' ' + OneLine(Value(control, property)) + u'\n';
    out_.write(line.toUtf8());
}

} // namespace tuner

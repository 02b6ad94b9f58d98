#include "link/parameter_set.h"

namespace tuner {

const PercentField *FindPercent(QStringView name) {
    for (const PercentField &field : kPercents) {
        if (field.name == name)
            return &field;
    }
    return nullptr;
}

const SwitchField *FindSwitch(QStringView name) {
    for (const SwitchField &field : kSwitches) {
        if (field.name == name)
            return &field;
    }
    return nullptr;
}

QString SwitchCaption(const SwitchField &field, bool on) {
    return (on ? field.onCaption : field.offCaption).toString();
}

QString ChangeNotice(QStringView word) {
    return word.toString() + QStringLiteral(" Changed, save required.");
}

} // namespace tuner

#include "link/settings/parameter_set.h"

#include "link/settings/number_text.h"

namespace tuner {

TuningParameters DefaultSettings() {
    TuningParameters settings;
    for (const PercentField &percent : kPercents)
        settings.*percent.value =
            static_cast<float>(ReadNumber(percent.defaultText.toString()).value_or(0));
    return settings;
}

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

#pragma once

#include <QString>
#include <QStringView>

#include <array>

// The settings the controller stores, described once: every reader and writer of the set (the
// protocol, the window, its adapter, the simulator, the fuzzers) loops over these tables.
namespace tuner {

// The settings in wire order (fields 1 to 9 of a report or a save).
struct TuningParameters {
    float Accel = 0, Decel = 0, Turn = 0, MaxOut = 0, MinOut = 0, LfbThreshold = 0;
    bool TpsReverse = false, EbrakeCutOff = false, GSensorCalibrate = false;
};

inline constexpr int kPercentCount = 6;
inline constexpr int kSwitchCount = 3;

// A percentage: edited as a text, limited at save to 0 .. upperLimit.
struct PercentField {
    QStringView name; // "Accel"
    int wireField;    // its place in a report and in a save record
    int upperLimit;   // the lower limit is 0 for every percentage
    QStringView defaultText;
    float TuningParameters::*value;
    QStringView noticeWord; // "<word> Changed, save required." when its text changes
    QStringView fileKey;    // its key in a tune file
};

// A switch: a truth value the window shows, if at all, as the caption of a button.
struct SwitchField {
    QStringView name;
    int wireField;
    bool TuningParameters::*value;
    QStringView
        offCaption;        // the button's caption while the switch is false ("" when none shows it)
    QStringView onCaption; // ... and while it is true
    QStringView noticeWord; // "<word> Changed, save required." when the button flips it
    QStringView fileKey;    // its key in a tune file ("" for a request that is no setting)
};

// clang-format off
inline constexpr std::array<PercentField, kPercentCount> kPercents = {{
    {u"Accel",        1, 200, u"100", &TuningParameters::Accel,        u"Accel",         u"acceleration"},
    {u"Decel",        2, 200, u"100", &TuningParameters::Decel,        u"Decel",         u"deceleration"},
    {u"Turn",         3, 200, u"100", &TuningParameters::Turn,         u"Turning",       u"turning"},
    {u"MaxOut",       4, 100, u"100", &TuningParameters::MaxOut,       u"Maximum",       u"max_output"},
    {u"MinOut",       5, 100, u"0",   &TuningParameters::MinOut,       u"Minimum",       u"min_output"},
    {u"LfbThreshold", 6, 100, u"33",  &TuningParameters::LfbThreshold, u"LFB Threshold", u"lfb_threshold"},
}};

inline constexpr std::array<SwitchField, kSwitchCount> kSwitches = {{
    {u"TpsReverse",       7, &TuningParameters::TpsReverse,       u"TPS = Normal",    u"TPS = Reverse",    u"TPS",    u"tps_reverse"},
    {u"EbrakeCutOff",     8, &TuningParameters::EbrakeCutOff,     u"Ebrake Cut = On", u"Ebrake Cut = Off", u"Ebrake", u"ebrake_cut_off"},
    {u"GSensorCalibrate", 9, &TuningParameters::GSensorCalibrate, u"",                u"",                 u"",       u""},
}};
// clang-format on

// Whether a value is one a save may carry for the percentage: 0 to its upper limit.
constexpr bool InRange(const PercentField &percent, double value) {
    return value >= 0 && value <= static_cast<double>(percent.upperLimit);
}

// Whether a switch is a setting a tune keeps: one without a file key is a request the save
// carries (the calibration), which no tune file, difference or restore point holds.
constexpr bool IsSetting(const SwitchField &flag) {
    return !flag.fileKey.isEmpty();
}

// Fields of a report: a tag, the percentages and the switches.
inline constexpr int kReportFieldCount = 1 + kPercentCount + kSwitchCount;

// The settings the window's Default button loads, dccd-ctl's "defaults" and the simulator's start:
// the table's defaults, every switch off.
TuningParameters DefaultSettings();

// The entry of that name; nullptr for a name the set does not have.
const PercentField *FindPercent(QStringView name);
const SwitchField *FindSwitch(QStringView name);

// The caption a button shows for the switch's state.
QString SwitchCaption(const SwitchField &field, bool on);

// The status line's notice after an edit: "Accel Changed, save required.".
QString ChangeNotice(QStringView word);

} // namespace tuner

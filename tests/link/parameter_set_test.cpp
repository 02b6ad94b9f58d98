// The parameter set's table: its wire places, limits, defaults and captions agree with each other
// and with the records built and read from it.
#include "link/parameter_set.h"
#include "link/protocol.h"
#include "link/tuning_parameters.h"

#include <gtest/gtest.h>

#include <QSet>
#include <QStringList>

namespace {

using tuner::kPercents;
using tuner::kSwitches;

TEST(ParameterSet, WireFieldsFollowTheTagWithoutGapOrRepeat) {
    QList<int> fields;
    for (const tuner::PercentField &percent : kPercents)
        fields.append(percent.wireField);
    for (const tuner::SwitchField &flag : kSwitches)
        fields.append(flag.wireField);
    QList<int> expected;
    for (int n = 1; n < tuner::kReportFieldCount; ++n)
        expected.append(n);
    EXPECT_EQ(fields, expected);
    EXPECT_EQ(tuner::kSaveFieldCount, tuner::kReportFieldCount + 1);
}

TEST(ParameterSet, NamesAreUniqueAndFoundAgain) {
    QSet<QString> names;
    for (const tuner::PercentField &percent : kPercents) {
        names.insert(percent.name.toString());
        EXPECT_EQ(tuner::FindPercent(percent.name), &percent);
        EXPECT_EQ(tuner::FindSwitch(percent.name), nullptr);
        EXPECT_FALSE(percent.noticeWord.isEmpty());
    }
    for (const tuner::SwitchField &flag : kSwitches) {
        names.insert(flag.name.toString());
        EXPECT_EQ(tuner::FindSwitch(flag.name), &flag);
    }
    EXPECT_EQ(names.size(), tuner::kPercentCount + tuner::kSwitchCount);
    EXPECT_EQ(tuner::FindPercent(u"Accel "), nullptr);
}

TEST(ParameterSet, FileKeysAreUniqueAndOnlyTheRequestHasNone) {
    QSet<QString> keys;
    int withKey = 0;
    for (const tuner::PercentField &percent : kPercents) {
        EXPECT_FALSE(percent.fileKey.isEmpty()) << percent.name.toString().toStdString();
        keys.insert(percent.fileKey.toString());
        ++withKey;
    }
    for (const tuner::SwitchField &flag : kSwitches) {
        // A switch a button shows is a setting; the calibration request is not.
        EXPECT_EQ(flag.fileKey.isEmpty(), flag.offCaption.isEmpty())
            << flag.name.toString().toStdString();
        if (!flag.fileKey.isEmpty()) {
            keys.insert(flag.fileKey.toString());
            ++withKey;
        }
    }
    EXPECT_EQ(keys.size(), withKey);
}

TEST(ParameterSet, EveryDefaultIsANumberWithinItsLimits) {
    for (const tuner::PercentField &percent : kPercents) {
        const std::optional<double> value = tuner::ReadNumber(percent.defaultText.toString());
        ASSERT_TRUE(value.has_value()) << percent.name.toString().toStdString();
        EXPECT_GE(*value, 0);
        EXPECT_LE(*value, percent.upperLimit);
    }
}

TEST(ParameterSet, ASwitchShownByAButtonHasTwoCaptionsAndANotice) {
    for (const tuner::SwitchField &flag : kSwitches) {
        const bool shown = !flag.offCaption.isEmpty();
        EXPECT_EQ(shown, !flag.onCaption.isEmpty()) << flag.name.toString().toStdString();
        EXPECT_EQ(shown, !flag.noticeWord.isEmpty()) << flag.name.toString().toStdString();
        if (shown) {
            EXPECT_NE(flag.offCaption, flag.onCaption);
            EXPECT_EQ(tuner::SwitchCaption(flag, false), flag.offCaption.toString());
            EXPECT_EQ(tuner::SwitchCaption(flag, true), flag.onCaption.toString());
        }
    }
}

TEST(ParameterSet, ChangeNoticeEndsWithSaveRequired) {
    EXPECT_EQ(tuner::ChangeNotice(u"LFB Threshold"),
              QStringLiteral("LFB Threshold Changed, save required."));
}

// Each field of a report lands in the member the table names, and a save puts each member at
// its wire place: values distinct per field catch any two places swapped.
TEST(ParameterSet, ReportsAndSavesUseEachWirePlace) {
    QStringList report(tuner::kReportFieldCount);
    report[0] = QStringLiteral("P");
    std::array<double, tuner::kPercentCount> percents{};
    for (std::size_t i = 0; i < kPercents.size(); ++i) {
        percents[i] = 10.0 * kPercents[i].wireField;
        report[kPercents[i].wireField] = QString::number(percents[i]);
    }
    for (const tuner::SwitchField &flag : kSwitches)
        report[flag.wireField] =
            flag.wireField % 2 == 0 ? QStringLiteral("1") : QStringLiteral("0");

    const std::optional<tuner::TuningParameters> parsed =
        tuner::ParseReport(report.join(u',') + u'\r');
    ASSERT_TRUE(parsed.has_value());
    for (std::size_t i = 0; i < kPercents.size(); ++i)
        EXPECT_EQ((*parsed).*kPercents[i].value, static_cast<float>(percents[i]))
            << kPercents[i].name.toString().toStdString();
    for (const tuner::SwitchField &flag : kSwitches)
        EXPECT_EQ((*parsed).*flag.value, flag.wireField % 2 == 0)
            << flag.name.toString().toStdString();

    const QStringList saved = tuner::SaveCommand(percents, *parsed).split(u',');
    ASSERT_EQ(saved.size(), tuner::kSaveFieldCount);
    for (std::size_t i = 0; i < kPercents.size(); ++i)
        EXPECT_EQ(saved.at(kPercents[i].wireField), tuner::WireForm(percents[i]));
    for (const tuner::SwitchField &flag : kSwitches)
        EXPECT_EQ(saved.at(flag.wireField), tuner::WireForm(flag.wireField % 2 == 0));
    EXPECT_EQ(saved.last(), u"\r");
}

TEST(ParameterSet, SavingNumbersAndSavingTheirTextsGiveTheSameRecord) {
    const std::array<double, tuner::kPercentCount> percents = {150, 0, 200, 55, 7, 12.6};
    std::array<QString, tuner::kPercentCount> texts;
    for (std::size_t i = 0; i < texts.size(); ++i)
        texts[i] = QString::number(percents[i]);
    tuner::TuningParameters switches;
    switches.EbrakeCutOff = true;
    EXPECT_EQ(tuner::SaveCommand(texts, false, true, false),
              tuner::SaveCommand(percents, switches));
}

} // namespace

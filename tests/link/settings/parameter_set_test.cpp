// The parameter set's table: its wire places, limits, defaults and captions agree with each other
// and with the records built and read from it.
#include "link/protocol/records.h"
#include "link/settings/number_text.h"
#include "link/settings/parameter_set.h"

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
} // namespace

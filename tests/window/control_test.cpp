// The control model: Change is raised inside a text write, and only for a real change.
#include "tests/support/row_name.h"
#include "window/control.h"
#include "window/layout.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <algorithm>
#include <ostream>

namespace tuner {
namespace {

TEST(Control, ChangeRunsInsideTheWriteAfterTheMirror) {
    Control box(QStringLiteral("tAccel"), ControlKind::TextBox);
    QStringList events;
    box.Observe([&](const Control &c, ControlProperty p) {
        if (p == ControlProperty::Text)
            events.append(QStringLiteral("mirror ") + c.Text());
    });
    box.Change = [&] { events.append(QStringLiteral("change ") + box.Text()); };
    box.SetText(QStringLiteral("12"));
    events.append(QStringLiteral("after"));
    EXPECT_EQ(events, (QStringList{QStringLiteral("mirror 12"), QStringLiteral("change 12"),
                                   QStringLiteral("after")}));
}

TEST(Control, WritingTheSameTextRaisesNothing) {
    Control box(QStringLiteral("tMin"), ControlKind::TextBox);
    int changes = 0;
    int mirrors = 0;
    box.Change = [&] { ++changes; };
    box.Observe([&](const Control &, ControlProperty) { ++mirrors; });
    box.SetText(QString()); // empty to empty
    EXPECT_EQ(changes, 0);
    box.SetText(QStringLiteral("5"));
    box.SetText(QStringLiteral("5"));
    EXPECT_EQ(changes, 1);
    box.SetText(QStringLiteral("05"));
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(mirrors, 2);
}

TEST(Control, OtherPropertiesNeverRaiseChange) {
    Control box(QStringLiteral("tMax"), ControlKind::TextBox);
    int changes = 0;
    QList<ControlProperty> mirrored;
    box.Change = [&] { ++changes; };
    box.Observe([&](const Control &, ControlProperty p) { mirrored.append(p); });
    box.SetCaption(QStringLiteral("x"));
    box.SetEnabled(false);
    box.SetEnabled(false);
    box.SetFillColor(255);
    box.AddItem(QStringLiteral("3"));
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(mirrored,
              (QList<ControlProperty>{ControlProperty::Caption, ControlProperty::Enabled,
                                      ControlProperty::FillColor, ControlProperty::Items}));
}

TEST(Control, EveryObserverIsToldInTheOrderAddedUntilForgotten) {
    Control box(QStringLiteral("tAccel"), ControlKind::TextBox);
    QStringList told;
    const int first = box.Observe(
        [&](const Control &, ControlProperty) { told.append(QStringLiteral("first")); });
    box.Observe([&](const Control &, ControlProperty) { told.append(QStringLiteral("second")); });
    box.SetText(QStringLiteral("1"));
    EXPECT_EQ(told, (QStringList{QStringLiteral("first"), QStringLiteral("second")}));
    told.clear();
    box.Forget(first);
    box.Forget(first); // forgetting twice changes nothing
    box.SetEnabled(false);
    EXPECT_EQ(told, QStringList{QStringLiteral("second")});
}

TEST(Control, AddItemAppendsInOrder) {
    Control list(QStringLiteral("pCPort"), ControlKind::ComboBox);
    list.AddItem(QStringLiteral("5"));
    list.AddItem(QStringLiteral("3"));
    list.AddItem(QStringLiteral("5"));
    EXPECT_EQ(list.Items(),
              (QStringList{QStringLiteral("5"), QStringLiteral("3"), QStringLiteral("5")}));
    EXPECT_EQ(list.Text(), u"");
}

TEST(Control, ADisabledControlRaisesNoClick) {
    Control button(QStringLiteral("bSave"), ControlKind::CommandButton);
    int clicks = 0;
    button.Click = [&] { ++clicks; };
    button.RaiseClick();
    button.SetEnabled(false);
    button.RaiseClick();
    EXPECT_EQ(clicks, 1);
}

// The designed pixel boxes of the window, from the twips at 15 twips per pixel.
struct PixelBox {
    const char16_t *name;
    int left, top, width, height;
};

void PrintTo(const PixelBox &box, std::ostream *os) {
    *os << QString::fromUtf16(box.name).toStdString() << " at " << box.left << ',' << box.top
        << " sized " << box.width << 'x' << box.height;
}

class LayoutPixels : public ::testing::TestWithParam<PixelBox> {};

TEST_P(LayoutPixels, TwipsGiveTheDesignedPixels) {
    const PixelBox &box = GetParam();
    const ControlLayout *design = FindLayout(QString::fromUtf16(box.name));
    ASSERT_NE(design, nullptr);
    EXPECT_EQ(design->Left(), box.left);
    EXPECT_EQ(design->Top(), box.top);
    EXPECT_EQ(design->Width(), box.width);
    EXPECT_EQ(design->Height(), box.height);
}

INSTANTIATE_TEST_SUITE_P(
    Window, LayoutPixels,
    ::testing::Values(PixelBox{u"tLogo", 8, 16, 177, 33}, PixelBox{u"tTitle", 184, 24, 169, 25},
                      PixelBox{u"tCPort", 36, 72, 81, 22}, PixelBox{u"pCPort", 124, 72, 49, 22},
                      PixelBox{u"bOpen", 188, 72, 81, 22}, PixelBox{u"Shape1", 289, 72, 33, 22},
                      PixelBox{u"lAccel", 16, 128, 105, 17}, PixelBox{u"tAccel", 128, 128, 33, 19},
                      PixelBox{u"lMin", 192, 128, 97, 17}, PixelBox{u"tMin", 296, 128, 33, 19},
                      PixelBox{u"lDecel", 16, 160, 105, 17}, PixelBox{u"tDecel", 128, 160, 33, 19},
                      PixelBox{u"lMax", 192, 160, 97, 17}, PixelBox{u"tMax", 296, 160, 33, 19},
                      PixelBox{u"lTurn", 16, 192, 105, 17}, PixelBox{u"tTurn", 128, 192, 33, 19},
                      PixelBox{u"Label2", 192, 192, 97, 25}, PixelBox{u"tLFB", 296, 192, 33, 19},
                      PixelBox{u"bCalG", 120, 224, 121, 25}, PixelBox{u"bTPS", 40, 256, 121, 25},
                      PixelBox{u"bEbrk", 207, 256, 121, 25}, PixelBox{u"bDef", 48, 288, 57, 25},
                      PixelBox{u"bSave", 136, 288, 65, 25}, PixelBox{u"bExit", 224, 288, 65, 25},
                      PixelBox{u"tStatus", 63, 320, 233, 33},
                      PixelBox{u"Label1", 48, 376, 265, 41}),
    RowName());

TEST(Layout, HasEveryControlOnceAndTheClientArea) {
    EXPECT_EQ(WindowLayout().size(), 26);
    QStringList names;
    for (const ControlLayout &c : WindowLayout())
        names.append(c.name);
    names.removeDuplicates();
    EXPECT_EQ(names.size(), 26);
    EXPECT_EQ(ClientWidth(), 358);
    EXPECT_EQ(ClientHeight(), 436);
    EXPECT_EQ(FindLayout(QStringLiteral("MSComm1")), nullptr);
}

TEST(Layout, EveryPercentageHasOneBoxCaptionedByItsLabel) {
    QStringList parameters;
    for (const PercentBox &entry : PercentBoxes()) {
        const ControlLayout *box = FindLayout(entry.box.toString());
        const ControlLayout *label = FindLayout(entry.label.toString());
        ASSERT_NE(box, nullptr) << entry.box.toString().toStdString();
        ASSERT_NE(label, nullptr) << entry.label.toString().toStdString();
        EXPECT_EQ(box->kind, ControlKind::TextBox);
        EXPECT_EQ(label->kind, ControlKind::Label);
        EXPECT_NE(FindPercent(entry.parameter), nullptr);
        EXPECT_EQ(CaptionLabelOf(entry.box), entry.label.toString());
        parameters.append(entry.parameter.toString());
    }
    QStringList expected;
    for (const PercentField &percent : kPercents)
        expected.append(percent.name.toString());
    parameters.sort();
    expected.sort();
    EXPECT_EQ(parameters, expected);
    EXPECT_EQ(CaptionLabelOf(u"pCPort"), u"tCPort");
    EXPECT_EQ(CaptionLabelOf(u"bSave"), u"");
}

TEST(Layout, EverySwitchWithCaptionsHasAButtonThatStartsOff) {
    QStringList shown;
    for (const SwitchButton &entry : SwitchButtons()) {
        const ControlLayout *button = FindLayout(entry.button.toString());
        const SwitchField *flag = FindSwitch(entry.parameter);
        ASSERT_NE(button, nullptr);
        ASSERT_NE(flag, nullptr);
        EXPECT_EQ(button->kind, ControlKind::CommandButton);
        EXPECT_EQ(button->caption, flag->offCaption.toString());
        shown.append(flag->name.toString());
    }
    QStringList withCaptions;
    for (const SwitchField &flag : kSwitches) {
        if (!flag.offCaption.isEmpty())
            withCaptions.append(flag.name.toString());
    }
    EXPECT_EQ(shown, withCaptions);
}

TEST(Layout, FocusOrderWithEveryControlEnabled) {
    QList<const ControlLayout *> focusable;
    for (const ControlLayout &c : WindowLayout()) {
        if (c.kind != ControlKind::Label && c.kind != ControlKind::Shape)
            focusable.append(&c);
    }
    std::sort(
        focusable.begin(), focusable.end(),
        [](const ControlLayout *a, const ControlLayout *b) { return a->tabIndex < b->tabIndex; });
    QStringList order;
    for (const ControlLayout *c : focusable)
        order.append(c->name);
    EXPECT_EQ(order.join(u' '),
              u"tAccel tDecel tTurn bSave bTPS bEbrk tMin tMax bExit bCalG bOpen pCPort tLFB bDef");
}

} // namespace
} // namespace tuner

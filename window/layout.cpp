#include "window/layout.h"

#include "window/branding.h"

#include <array>

namespace tuner {
namespace {

using K = ControlKind;
constexpr TextAlign C = TextAlign::Centre;
constexpr TextAlign L = TextAlign::Left;

// clang-format off
// The percentage boxes, in the order the window enables them.
constexpr std::array<PercentBox, kPercentCount> kPercentBoxes = {{
    {u"tAccel", u"lAccel", u"Accel"},
    {u"tDecel", u"lDecel", u"Decel"},
    {u"tMin",   u"lMin",   u"MinOut"},
    {u"tMax",   u"lMax",   u"MaxOut"},
    {u"tLFB",   u"Label2", u"LfbThreshold"},
    {u"tTurn",  u"lTurn",  u"Turn"},
}};

constexpr std::array<SwitchButton, 2> kSwitchButtons = {{
    {u"bTPS",  u"TpsReverse"},
    {u"bEbrk", u"EbrakeCutOff"},
}};
// clang-format on

// A switch button starts showing its switch as false.
QString SwitchCaptionOf(QStringView button) {
    for (const SwitchButton &entry : kSwitchButtons) {
        if (entry.button == button)
            return SwitchCaption(*FindSwitch(entry.parameter), false);
    }
    return {};
}

QList<ControlLayout> MakeLayout() {
    const QString arial = QStringLiteral("Arial");
    const QString magneto = QStringLiteral("Magneto");
    const QString sansSerif = QStringLiteral("MS Sans Serif");
    const QString none;
    const QString tpsCaption = SwitchCaptionOf(u"bTPS");
    const QString ebrakeCaption = SwitchCaptionOf(u"bEbrk");
    // clang-format off
    return {
        {QStringLiteral("tLogo"),   K::Label,         branding::Logo(),                       120,  240, 2655, 495, magneto,   15.75, true, C,  0, true},
        {QStringLiteral("tTitle"),  K::Label,         QStringLiteral("Tuning Utility V2.1"), 2760,  360, 2535, 375, arial,     9.75,  true, C,  1, true},
        {QStringLiteral("tCPort"),  K::Label,         QStringLiteral("Com Port"),             537, 1080, 1215, 330, arial,     9.75,  true, C, 19, true},
        {QStringLiteral("pCPort"),  K::ComboBox,      none,                                  1857, 1080,  735, 330, arial,     8.25,  true, L, 18, true},
        {QStringLiteral("bOpen"),   K::CommandButton, QStringLiteral("Connect"),             2817, 1080, 1215, 330, arial,     8.25,  true, C, 17, true},
        {QStringLiteral("Shape1"),  K::Shape,         none,                                  4339, 1080,  495, 330, none,      0.0,   true, C, -1, true},
        {QStringLiteral("lAccel"),  K::Label,         QStringLiteral("Acceleration %"),       240, 1920, 1575, 255, arial,     9.75,  true, C,  2, true},
        {QStringLiteral("tAccel"),  K::TextBox,       none,                                  1920, 1920,  495, 285, arial,     9.75,  true, C,  3, false},
        {QStringLiteral("lMin"),    K::Label,         QStringLiteral("Min Output %"),        2880, 1920, 1455, 255, arial,     9.75,  true, C, 12, true},
        {QStringLiteral("tMin"),    K::TextBox,       none,                                  4440, 1920,  495, 285, arial,     9.75,  true, C, 11, false},
        {QStringLiteral("lDecel"),  K::Label,         QStringLiteral("Deceleration %"),       240, 2400, 1575, 255, arial,     9.75,  true, C,  4, true},
        {QStringLiteral("tDecel"),  K::TextBox,       none,                                  1920, 2400,  495, 285, arial,     9.75,  true, C,  5, false},
        {QStringLiteral("lMax"),    K::Label,         QStringLiteral("Max Output %"),        2880, 2400, 1455, 255, arial,     9.75,  true, C, 14, true},
        {QStringLiteral("tMax"),    K::TextBox,       none,                                  4440, 2400,  495, 285, arial,     9.75,  true, C, 13, false},
        {QStringLiteral("lTurn"),   K::Label,         QStringLiteral("Turning %"),            240, 2880, 1575, 255, arial,     9.75,  true, C,  7, true},
        {QStringLiteral("tTurn"),   K::TextBox,       none,                                  1920, 2880,  495, 285, arial,     9.75,  true, C,  6, false},
        {QStringLiteral("Label2"),  K::Label,         QStringLiteral("LFB Threshold %"),     2880, 2880, 1455, 375, sansSerif, 8.25,  true, L, 23, true},
        {QStringLiteral("tLFB"),    K::TextBox,       none,                                  4440, 2880,  495, 285, arial,     9.0,   true, C, 22, true},
        {QStringLiteral("bCalG"),   K::CommandButton, QStringLiteral("Calibrate G-Sensor"),  1800, 3360, 1815, 375, arial,     8.25,  true, C, 16, false},
        {QStringLiteral("bTPS"),    K::CommandButton, tpsCaption,                             600, 3840, 1815, 375, arial,     8.25,  true, C,  9, false},
        {QStringLiteral("bEbrk"),   K::CommandButton, ebrakeCaption,                         3098, 3840, 1815, 375, arial,     8.25,  true, C, 10, false},
        {QStringLiteral("bDef"),    K::CommandButton, QStringLiteral("Default"),              720, 4320,  855, 375, arial,     8.25,  true, C, 24, false},
        {QStringLiteral("bSave"),   K::CommandButton, QStringLiteral("Save"),                2040, 4320,  975, 375, arial,     8.25,  true, C,  8, false},
        {QStringLiteral("bExit"),   K::CommandButton, QStringLiteral("Exit"),                3360, 4320,  975, 375, arial,     8.25,  true, C, 15, true},
        {QStringLiteral("tStatus"), K::Label,         none,                                   945, 4800, 3495, 495, arial,     9.75,  true, C, 20, true},
        {QStringLiteral("Label1"),  K::Label,         branding::SupportLine(),                720, 5640, 3975, 615, magneto,   12.0,  true, C, 21, true},
    };
    // clang-format on
}

} // namespace

int TwipsToPixels(int twips) {
    return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel;
}

int ControlLayout::Left() const {
    return TwipsToPixels(leftTwips);
}
int ControlLayout::Top() const {
    return TwipsToPixels(topTwips);
}
int ControlLayout::Width() const {
    return TwipsToPixels(widthTwips);
}
int ControlLayout::Height() const {
    return TwipsToPixels(heightTwips);
}

int ClientWidth() {
    return TwipsToPixels(kClientWidthTwips);
}

int ClientHeight() {
    return TwipsToPixels(kClientHeightTwips);
}

const QList<ControlLayout> &WindowLayout() {
    static const QList<ControlLayout> layout = MakeLayout();
    return layout;
}

std::span<const PercentBox> PercentBoxes() {
    return kPercentBoxes;
}

std::span<const SwitchButton> SwitchButtons() {
    return kSwitchButtons;
}

QString CaptionLabelOf(QStringView control) {
    if (control == u"pCPort")
        return QStringLiteral("tCPort");
    for (const PercentBox &entry : kPercentBoxes) {
        if (entry.box == control)
            return entry.label.toString();
    }
    return {};
}

const ControlLayout *FindLayout(const QString &name) {
    for (const ControlLayout &entry : WindowLayout()) {
        if (entry.name == name)
            return &entry;
    }
    return nullptr;
}

} // namespace tuner

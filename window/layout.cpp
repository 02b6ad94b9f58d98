#include "window/layout.h"

#include "window/branding.h"

namespace tuner {
namespace {

using K = ControlKind;
constexpr TextAlign C = TextAlign::Centre;
constexpr TextAlign L = TextAlign::Left;

QList<ControlLayout> MakeLayout() {
    const QString arial = QStringLiteral("Arial");
    const QString magneto = QStringLiteral("Magneto");
    const QString sansSerif = QStringLiteral("MS Sans Serif");
    const QString none;
    // clang-format off
    return {
        {u"tLogo"_qs,   K::Label,         branding::Logo(),              120,  240, 2655, 495, magneto,  15.75, true, C,  0, true},
        {u"tTitle"_qs,  K::Label,         u"Tuning Utility V2.1"_qs,      2760, 360, 2535, 375, arial,     9.75, true, C,  1, true},
        {u"tCPort"_qs,  K::Label,         u"Com Port"_qs,                 537, 1080, 1215, 330, arial,     9.75, true, C, 19, true},
        {u"pCPort"_qs,  K::ComboBox,      none,                          1857, 1080,  735, 330, arial,     8.25, true, L, 18, true},
        {u"bOpen"_qs,   K::CommandButton, u"Connect"_qs,                 2817, 1080, 1215, 330, arial,     8.25, true, C, 17, true},
        {u"Shape1"_qs,  K::Shape,         none,                          4339, 1080,  495, 330, none,      0.0,  true, C, -1, true},
        {u"lAccel"_qs,  K::Label,         u"Acceleration %"_qs,           240, 1920, 1575, 255, arial,     9.75, true, C,  2, true},
        {u"tAccel"_qs,  K::TextBox,       none,                          1920, 1920,  495, 285, arial,     9.75, true, C,  3, false},
        {u"lMin"_qs,    K::Label,         u"Min Output %"_qs,            2880, 1920, 1455, 255, arial,     9.75, true, C, 12, true},
        {u"tMin"_qs,    K::TextBox,       none,                          4440, 1920,  495, 285, arial,     9.75, true, C, 11, false},
        {u"lDecel"_qs,  K::Label,         u"Deceleration %"_qs,           240, 2400, 1575, 255, arial,     9.75, true, C,  4, true},
        {u"tDecel"_qs,  K::TextBox,       none,                          1920, 2400,  495, 285, arial,     9.75, true, C,  5, false},
        {u"lMax"_qs,    K::Label,         u"Max Output %"_qs,            2880, 2400, 1455, 255, arial,     9.75, true, C, 14, true},
        {u"tMax"_qs,    K::TextBox,       none,                          4440, 2400,  495, 285, arial,     9.75, true, C, 13, false},
        {u"lTurn"_qs,   K::Label,         u"Turning %"_qs,                240, 2880, 1575, 255, arial,     9.75, true, C,  7, true},
        {u"tTurn"_qs,   K::TextBox,       none,                          1920, 2880,  495, 285, arial,     9.75, true, C,  6, false},
        {u"Label2"_qs,  K::Label,         u"LFB Threshold %"_qs,         2880, 2880, 1455, 375, sansSerif, 8.25, true, L, 23, true},
        {u"tLFB"_qs,    K::TextBox,       none,                          4440, 2880,  495, 285, arial,     9.0,  true, C, 22, true},
        {u"bCalG"_qs,   K::CommandButton, u"Calibrate G-Sensor"_qs,      1800, 3360, 1815, 375, arial,     8.25, true, C, 16, false},
        {u"bTPS"_qs,    K::CommandButton, u"TPS = Normal"_qs,             600, 3840, 1815, 375, arial,     8.25, true, C,  9, false},
        {u"bEbrk"_qs,   K::CommandButton, u"Ebrake Cut = On"_qs,         3098, 3840, 1815, 375, arial,     8.25, true, C, 10, false},
        {u"bDef"_qs,    K::CommandButton, u"Default"_qs,                  720, 4320,  855, 375, arial,     8.25, true, C, 24, false},
        {u"bSave"_qs,   K::CommandButton, u"Save"_qs,                    2040, 4320,  975, 375, arial,     8.25, true, C,  8, false},
        {u"bExit"_qs,   K::CommandButton, u"Exit"_qs,                    3360, 4320,  975, 375, arial,     8.25, true, C, 15, true},
        {u"tStatus"_qs, K::Label,         none,                           945, 4800, 3495, 495, arial,     9.75, true, C, 20, true},
        {u"Label1"_qs,  K::Label,         branding::SupportLine(),        720, 5640, 3975, 615, magneto,  12.0,  true, C, 21, true},
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

const ControlLayout *FindLayout(const QString &name) {
    for (const ControlLayout &entry : WindowLayout()) {
        if (entry.name == name)
            return &entry;
    }
    return nullptr;
}

} // namespace tuner

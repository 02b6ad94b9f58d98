#pragma once

#include "link/settings/parameter_set.h"
#include "window/control.h"

#include <QList>
#include <QString>
#include <QStringView>

#include <span>

namespace tuner {

inline constexpr int kTwipsPerPixel = 15;
inline constexpr int kClientWidthTwips = 5370;
inline constexpr int kClientHeightTwips = 6540;

enum class TextAlign { Left, Centre };

// How one control of the window is designed: its place in twips, its font, its tab index and
// whether it starts enabled. Captions of labels and buttons, texts of boxes and the port list.
struct ControlLayout {
    QString name;
    ControlKind kind;
    QString caption;
    int leftTwips, topTwips, widthTwips, heightTwips;
    QString fontFamily; // empty for the lamp, which shows no text
    double pointSize;
    bool bold;
    TextAlign align;
    int tabIndex; // -1: not in the tab order
    bool startsEnabled;

    int Left() const;
    int Top() const;
    int Width() const;
    int Height() const;
};

// Twips to the nearest whole pixel at 15 twips per pixel.
int TwipsToPixels(int twips);

int ClientWidth();
int ClientHeight();

// Every control of the window, top to bottom as laid out.
const QList<ControlLayout> &WindowLayout();

// A text box that shows a percentage of the parameter set, and the label that captions it.
struct PercentBox {
    QStringView box;
    QStringView label;
    QStringView parameter; // PercentField::name
};

// A command button that shows a switch by its caption and flips it.
struct SwitchButton {
    QStringView button;
    QStringView parameter; // SwitchField::name
};

// One entry per percentage, in the order the window enables the boxes.
std::span<const PercentBox> PercentBoxes();
std::span<const SwitchButton> SwitchButtons();

// The label that names a box or the port list ("" when none does).
QString CaptionLabelOf(QStringView control);

// The design of the named control; nullptr for a name the window does not have.
const ControlLayout *FindLayout(const QString &name);

} // namespace tuner

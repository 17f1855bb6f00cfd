// Text colours of controls, set and read through the palette. The program
// signals state by colour (lamps, fields being edited), and style sheets
// would fight the palette, so everything goes through these two functions.
#pragma once

#include <QColor>
#include <QPalette>

class QWidget;

namespace ui {

// The palette role that carries a widget's text: Text for editors (line
// edits, spin boxes, combo boxes, text views), ButtonText for push and tool
// buttons, WindowText for everything else (labels, check boxes, radios).
QPalette::ColorRole textRole(const QWidget *widget);

// Sets the text colour in the active and inactive colour groups; the
// disabled group keeps the style's greyed-out colour.
void setTextColor(QWidget *widget, const QColor &color);

// The text colour last set (the active colour group's).
QColor textColor(const QWidget *widget);

// Colours a lamp and says its state in its accessible name: `what` plus
// " on" or " off" ("OUT 19 on", "X +LMT off"). A screen reader cannot see
// the colour, so the name carries it.
void showLamp(QWidget *lamp, const QString &what, bool on, const QColor &onColour);

// The colours the program signals with.
inline const QColor kRed{255, 0, 0};
inline const QColor kGreen{0, 200, 0};
inline const QColor kOrange{255, 128, 0};
inline const QColor kAmber{255, 191, 0};
inline const QColor kBlue{0, 0, 255};
inline const QColor kBlack{0, 0, 0};
inline const QColor kLightGray{170, 170, 170};

} // namespace ui

// Builders for the controls every page is made of. Each control carries its
// name as objectName and as accessible description, so tests and outside
// tools find it; the sizes follow the fonts, so the pages scale with them.
#pragma once

#include <QFont>
#include <QString>
#include <QStringList>

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace ui {

// Lamps and live values must be readable from a step away from the screen.
// The axis signals pack 28 lamps next to the jog pad and the point table, so
// theirs are a little smaller.
constexpr int kLampPixelSize = 46;
constexpr int kSignalLampPixelSize = 40;
constexpr int kReadoutPointSize = 10;
constexpr int kConsolePointSize = 14;

// Gives `widget` its control name (objectName and accessible description).
template <typename T> T *named(T *widget, const QString &name)
{
    widget->setObjectName(name);
    widget->setAccessibleDescription(name);
    return widget;
}

// Every number the controller reports or is sent is set in this font, a
// little larger than the captions.
QFont monoFont();
// Keeps a widget's place in the layout while it is hidden, so that the rest
// of the page does not jump.
void retainSpaceWhenHidden(QWidget *w);
QLabel *hint(const QString &text);
QFrame *separator();
// `widget` after a separator, spaced as the status bar's items are; the group
// starts hidden when the widget is.
QWidget *ruledOff(QWidget *widget);
// Width of a line edit holding `chars` digits.
int charWidth(int chars, bool mono = true);
// Width that fits the widest of the captions in a push button.
int buttonWidth(const QStringList &captions);

QLabel *makeLamp(const QString &name, const QString &accessibleName, int pixelSize);
QLabel *makeReadout(const QString &name, const QString &toolTip, int minChars);
QLineEdit *makeField(const QString &name, const QString &accessibleName, int chars);
QLineEdit *makeDisplay(const QString &name, const QString &accessibleName, int chars);
class Stepper;
Stepper *makeStepper(const QString &name, const QString &accessibleName);
QComboBox *makePopup(const QString &name, const QString &accessibleName, int chars);
QPushButton *makeButton(const QString &name, const QString &caption, const QString &toolTip = QString());
QLabel *caption(const QString &text, QWidget *buddy = nullptr);
QLabel *header(const QString &text);

} // namespace ui

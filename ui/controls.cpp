#include "ui/controls.h"

#include "ui/stepper.h"
#include "ui/uihelpers.h"

#include <QApplication>
#include <QComboBox>
#include <QFontDatabase>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionSpinBox>

namespace ui {

// Every number the controller reports or is sent (bit words, positions,
// variables, addresses) is set in this font, a little larger than the
// captions: the operator reads them from a step away.
QFont monoFont()
{
    QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (f.pointSize() < kReadoutPointSize)
        f.setPointSize(kReadoutPointSize);
    return f;
}

// Keeps a box's place in the layout while it is hidden, so that choosing
// "None" as axis board does not make the rest of the page jump.
void retainSpaceWhenHidden(QWidget *w)
{
    QSizePolicy sp = w->sizePolicy();
    sp.setRetainSizeWhenHidden(true);
    w->setSizePolicy(sp);
}

QLabel *hint(const QString &text)
{
    auto *l = new QLabel(text);
    l->setWordWrap(true);
    l->setForegroundRole(QPalette::PlaceholderText);
    return l;
}

QFrame *separator()
{
    auto *f = new QFrame;
    f->setFrameShape(QFrame::VLine);
    f->setFrameShadow(QFrame::Sunken);
    return f;
}

QWidget *ruledOff(QWidget *widget)
{
    auto *group = new QWidget;
    auto *h = new QHBoxLayout(group);
    h->setContentsMargins(0, 0, 4, 0);
    h->setSpacing(0);
    h->addSpacing(8);
    h->addWidget(separator());
    h->addSpacing(8);
    h->addWidget(widget);
    if (widget->isHidden())
        group->hide();
    return group;
}

int charWidth(int chars, bool mono)
{
    const QFontMetrics fm(mono ? monoFont() : QApplication::font());
    // frame and text margins of a line edit
    return fm.horizontalAdvance(QLatin1Char('0')) * chars + 14;
}

int buttonWidth(const QStringList &captions)
{
    const QFontMetrics fm(QApplication::font());
    int w = 0;
    for (const QString &c : captions)
        w = qMax(w, fm.horizontalAdvance(c));
    return w + 2 * QApplication::style()->pixelMetric(QStyle::PM_ButtonMargin) + 12;
}

QLabel *makeLamp(const QString &name, const QString &accessibleName, int pixelSize)
{
    auto *lamp = named(new QLabel(QStringLiteral("\u25CF")), name);
    QFont f = lamp->font();
    f.setPixelSize(pixelSize);
    lamp->setFont(f);
    lamp->setAlignment(Qt::AlignCenter);
    // As wide as the dot itself: rows of sixteen must still fit the window.
    const QFontMetrics fm(f);
    lamp->setMinimumSize(fm.horizontalAdvance(lamp->text()) + 2, fm.height());
    // The monitor renames the lamp with its state (and its bit number) at
    // every reading; until then it is off.
    lamp->setProperty("lampName", accessibleName);
    lamp->setToolTip(accessibleName);
    showLamp(lamp, accessibleName, false, kBlack);
    return lamp;
}

QLabel *makeReadout(const QString &name, const QString &toolTip, int minChars)
{
    auto *l = named(new QLabel, name);
    l->setFrameShape(QFrame::StyledPanel);
    l->setFrameShadow(QFrame::Sunken);
    l->setAutoFillBackground(true);
    l->setBackgroundRole(QPalette::Base);
    l->setFont(monoFont());
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    l->setIndent(4);
    l->setMinimumWidth(charWidth(minChars));
    QLineEdit probe;
    probe.setFont(monoFont());
    l->setMinimumHeight(probe.sizeHint().height());
    // No fixed accessible name: Qt then reads the label's current text, the
    // value itself. The caption is the tool tip; the control name stays in
    // the accessible description.
    l->setToolTip(toolTip);
    return l;
}

QLineEdit *makeField(const QString &name, const QString &accessibleName, int chars)
{
    auto *e = named(new QLineEdit, name);
    e->setFont(monoFont());
    e->setMinimumWidth(charWidth(chars));
    if (!accessibleName.isEmpty())
        e->setAccessibleName(accessibleName);
    return e;
}

QLineEdit *makeDisplay(const QString &name, const QString &accessibleName, int chars)
{
    QLineEdit *e = makeField(name, accessibleName, chars);
    e->setReadOnly(true);
    e->setFocusPolicy(Qt::ClickFocus);
    e->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return e;
}

Stepper *makeStepper(const QString &name, const QString &accessibleName)
{
    auto *s = named(new Stepper, name);
    s->setAccessibleName(accessibleName);
    s->setToolTip(accessibleName);
    s->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // Only the arrows: the number being stepped is the field next to it, and
    // a second copy of it beside the field reads like two values.
    if (auto *edit = s->findChild<QLineEdit *>())
        edit->hide();
    QStyleOptionSpinBox opt;
    opt.initFrom(s);
    opt.rect = QRect(0, 0, 200, s->sizeHint().height());
    opt.subControls = QStyle::SC_SpinBoxUp | QStyle::SC_SpinBoxDown | QStyle::SC_SpinBoxFrame;
    opt.frame = true;
    const QRect up = s->style()->subControlRect(QStyle::CC_SpinBox, &opt, QStyle::SC_SpinBoxUp, s);
    const int margin = opt.rect.right() - up.right();
    s->setFixedWidth(up.width() + 2 * margin);
    return s;
}

QComboBox *makePopup(const QString &name, const QString &accessibleName, int chars)
{
    auto *c = named(new QComboBox, name);
    // The lists are filled at start-up and can hold a thousand items; a
    // fixed content length keeps the layout from depending on them.
    c->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    c->setMinimumContentsLength(chars);
    c->setMaxVisibleItems(20);
    if (!accessibleName.isEmpty())
        c->setToolTip(accessibleName);
    return c;
}

QPushButton *makeButton(const QString &name, const QString &caption, const QString &toolTip)
{
    auto *b = named(new QPushButton(caption), name);
    b->setAutoDefault(false);
    // The style asks for wide buttons; let a crowded row shrink them down to
    // their caption instead of forcing the window wider.
    b->setMinimumWidth(buttonWidth({caption}));
    if (!toolTip.isEmpty())
        b->setToolTip(toolTip);
    return b;
}

QLabel *caption(const QString &text, QWidget *buddy)
{
    auto *l = new QLabel(text);
    if (buddy)
        l->setBuddy(buddy);
    return l;
}

QLabel *header(const QString &text)
{
    auto *l = new QLabel(text);
    l->setForegroundRole(QPalette::PlaceholderText);
    return l;
}

} // namespace ui

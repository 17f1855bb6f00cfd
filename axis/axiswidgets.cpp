// Layout of the axis page: the board choice, the signal lamps, positions and
// counters with the register readout on the left, the jog pad and the H
// outputs in the middle, the point table and the point editing on the right.
#include "axis/axiswidgets.h"

#include "ui/controls.h"
#include "ui/stepper.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFormLayout>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

using namespace ui;

namespace axis {

namespace {

// Positions, counters and the point table run X, Y, U, Z; the signal words
// pack the axes X, Y, Z, U, and the lamp arrays follow the words.
const QString kAxes = QStringLiteral("XYUZ");
const QString kSignalAxes = QStringLiteral("XYZU");

const QString kNoValue = QStringLiteral("\u2014");
const QString kMinus = QStringLiteral("\u2212");

// The point table and the two edit groups share one column grid (point
// number, then X, Y, U, Z) so that their fields line up.
constexpr int kPointChars = 6;
constexpr int kCoordChars = 10;

QPushButton *jogButton(int number, const QString &caption, const QString &toolTip)
{
    return makeButton(QStringLiteral("buttonPgJog") + QString::number(number), caption, toolTip);
}

QLabel *axisLabel(QChar axis)
{
    auto *l = new QLabel(QString(axis));
    QFont bf = l->font();
    bf.setBold(true);
    l->setFont(bf);
    return l;
}

void pointHeader(QGridLayout *g, int row)
{
    g->addWidget(header(QStringLiteral("Point")), row, 0);
    for (int a = 0; a < 4; ++a) {
        QLabel *h = header(QString(kAxes.at(a)));
        h->setAlignment(Qt::AlignCenter);
        g->addWidget(h, row, a + 1);
    }
}

QFrame *rule()
{
    auto *line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

// A point number field and the four coordinate fields beside it, on row 1
// of `g` under the point header.
QLineEdit *pointRow(QGridLayout *g, const QString &pointName, const QString &pointWhat,
                    const QString &dataName, const QString &dataWhat, PerAxis<QLineEdit> &data)
{
    pointHeader(g, 0);
    QLineEdit *p = makeField(pointName, pointWhat, kPointChars);
    p->setFixedWidth(charWidth(kPointChars));
    p->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    g->addWidget(p, 1, 0);
    for (int a = 0; a < 4; ++a) {
        const QChar axis = kAxes.at(a);
        QLineEdit *d = makeField(dataName + axis, dataWhat.arg(axis), kCoordChars);
        d->setFixedWidth(charWidth(kCoordChars));
        d->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        g->addWidget(d, 1, a + 1);
        data[static_cast<size_t>(a)] = d;
    }
    g->setColumnStretch(5, 1);
    return p;
}

} // namespace

AxisWidgets::AxisWidgets(QWidget *page)
{
    auto *h = new QHBoxLayout(page);
    h->setSpacing(10);

    auto *left = new QVBoxLayout;
    left->setSpacing(8);
    auto *boardRow = new QHBoxLayout;
    boardRow->setSpacing(6);
    board = makePopup(QStringLiteral("popupbuttonPgSelect"), QStringLiteral("Pulse generator board"), 5);
    boardRow->addWidget(caption(QStringLiteral("Board"), board));
    boardRow->addWidget(board);
    boardRow->addStretch(1);
    left->addLayout(boardRow);
    left->addWidget(buildSignals());
    left->addWidget(buildPositions());
    left->addStretch(1);
    // The lamp grid and the readouts have their natural width; what is left
    // over goes to the jog pad, whose buttons are the ones hit in a hurry.
    h->addLayout(left);

    auto *middle = new QVBoxLayout;
    middle->setSpacing(8);
    middle->addWidget(buildJog());
    middle->addWidget(buildHOutputs());
    middle->addStretch(1);
    h->addLayout(middle, 1);

    auto *right = new QVBoxLayout;
    right->setSpacing(8);
    right->addWidget(buildPointTable());
    right->addWidget(buildPointEditing());
    right->addStretch(1);
    h->addLayout(right);
}

QGroupBox *AxisWidgets::buildSignals()
{
    signalBox = named(new QGroupBox(QStringLiteral("Signals")), QStringLiteral("boxPgIo"));
    retainSpaceWhenHidden(signalBox);
    auto *g = new QGridLayout(signalBox);
    g->setHorizontalSpacing(6);
    g->setVerticalSpacing(0);
    const struct
    {
        const char *suffix;
        const char *head;
        const char *what;
        PerAxis<QLabel> *lamps;
    } kinds[] = {
        {"Plmt", "+LMT", "+LMT", &plusLimit}, {"Mlmt", "\u2212LMT", "-LMT", &minusLimit},
        {"Alm", "ALM", "ALM", &alarm},        {"In0", "IN0", "IN0", &in0},
        {"In1", "IN1", "IN1", &in1},          {"In3", "IN3", "IN3", &in3},
        {"Inp", "INP", "INP", &inPosition},
    };
    for (int c = 0; c < 7; ++c) {
        QLabel *head = header(QString::fromUtf8(kinds[c].head));
        head->setAlignment(Qt::AlignCenter);
        g->addWidget(head, 0, c + 1);
        g->setColumnStretch(c + 1, 1);
    }
    // Shown in the X, Y, U, Z order of the positions below.
    for (int r = 0; r < 4; ++r) {
        const QChar axis = kAxes.at(r);
        const auto lampIndex = static_cast<size_t>(kSignalAxes.indexOf(axis));
        g->addWidget(axisLabel(axis), r + 1, 0);
        for (int c = 0; c < 7; ++c) {
            const QString name = QStringLiteral("labelPg") + axis + QLatin1String(kinds[c].suffix);
            QLabel *lamp = makeLamp(name, QStringLiteral("%1 %2").arg(axis).arg(QLatin1String(kinds[c].what)),
                                    kSignalLampPixelSize);
            (*kinds[c].lamps)[lampIndex] = lamp;
            g->addWidget(lamp, r + 1, c + 1, Qt::AlignCenter);
        }
    }
    return signalBox;
}

QGroupBox *AxisWidgets::buildPositions()
{
    positionBox =
        named(new QGroupBox(QStringLiteral("Position and counters")), QStringLiteral("boxPgCurrentPos"));
    retainSpaceWhenHidden(positionBox);
    auto *g = new QGridLayout(positionBox);
    g->setHorizontalSpacing(8);
    g->setVerticalSpacing(4);
    g->addWidget(header(QStringLiteral("Position")), 0, 1);
    g->addWidget(header(QStringLiteral("Counter")), 0, 2);
    for (int r = 0; r < 4; ++r) {
        const QChar axis = kAxes.at(r);
        g->addWidget(axisLabel(axis), r + 1, 0);
        QLabel *pos = makeReadout(QStringLiteral("labelPgCurrentPos") + axis,
                                  QStringLiteral("%1 position").arg(axis), 11);
        QLabel *cnt =
            makeReadout(QStringLiteral("labelPgCounter") + axis, QStringLiteral("%1 counter").arg(axis), 11);
        for (QLabel *l : {pos, cnt}) {
            l->setText(QStringLiteral("0"));
            l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        }
        g->addWidget(pos, r + 1, 1);
        g->addWidget(cnt, r + 1, 2);
        position[static_cast<size_t>(r)] = pos;
        counter[static_cast<size_t>(r)] = cnt;
    }
    clearPositions = jogButton(17, QStringLiteral("Clear positions"),
                               QStringLiteral("Set the current positions of all axes to 0 (asks first)"));
    clearCounters = jogButton(14, QStringLiteral("Clear counters"),
                              QStringLiteral("Set the counters of all axes to 0 (asks first)"));
    g->addWidget(clearPositions, 5, 1);
    g->addWidget(clearCounters, 5, 2);

    g->addWidget(rule(), 6, 0, 1, 3);
    registerChoice = makePopup(QStringLiteral("popupbuttonPgReg"), QStringLiteral("Register to read"), 10);
    registerValue = makeReadout(QStringLiteral("labelPgReg"), QStringLiteral("Register value"), 11);
    registerValue->setText(kNoValue);
    registerValue->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    g->addWidget(caption(QStringLiteral("Register"), registerChoice), 7, 0, 1, 3);
    g->addWidget(registerChoice, 8, 1);
    g->addWidget(registerValue, 8, 2);
    g->setColumnStretch(1, 1);
    g->setColumnStretch(2, 1);
    return positionBox;
}

QGroupBox *AxisWidgets::buildJog()
{
    auto *box = new QGroupBox(QStringLiteral("Jog"));
    auto *v = new QVBoxLayout(box);
    v->setSpacing(8);
    auto *form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    pulses = makePopup(QStringLiteral("popupbuttonPgPulse"), QStringLiteral("Pulses per jog"), 6);
    acceleration = makePopup(QStringLiteral("popupbuttonPgAceel"), QStringLiteral("Jog acceleration"), 6);
    form->addRow(caption(QStringLiteral("Pulses"), pulses), pulses);
    form->addRow(caption(QStringLiteral("Acceleration"), acceleration), acceleration);
    v->addLayout(form);

    auto *pad = new QGridLayout;
    pad->setHorizontalSpacing(4);
    pad->setVerticalSpacing(4);
    const int bw =
        buttonWidth({QStringLiteral("X stop"), QStringLiteral("X ") + kMinus, QStringLiteral("X +")});
    for (int r = 0; r < 4; ++r) {
        const QString axis(kAxes.at(r));
        const int base = 3 * r;
        const QString moves = QStringLiteral("Move %1 by the pulses in the %2 direction");
        auto &row = jog[static_cast<size_t>(r)];
        row[0] = jogButton(base, axis + QLatin1Char(' ') + kMinus, moves.arg(axis, QStringLiteral("minus")));
        row[1] = jogButton(base + 1, axis + QStringLiteral(" stop"), QStringLiteral("Stop %1").arg(axis));
        row[2] = jogButton(base + 2, axis + QStringLiteral(" +"), moves.arg(axis, QStringLiteral("plus")));
        int c = 0;
        for (QPushButton *b : row) {
            b->setMinimumWidth(bw);
            pad->addWidget(b, r, c++);
        }
    }
    v->addLayout(pad);
    return box;
}

QGroupBox *AxisWidgets::buildHOutputs()
{
    auto *box = new QGroupBox(QStringLiteral("H outputs"));
    auto *g = new QGridLayout(box);
    g->setHorizontalSpacing(4);
    g->setVerticalSpacing(4);
    const int bw = buttonWidth({QStringLiteral("H0 OFF")});
    for (int n = 0; n < 4; ++n) {
        const QString hn = QStringLiteral("H%1").arg(n);
        const QString name = QStringLiteral("buttonPgHout");
        QPushButton *on = makeButton(name + QString::number(2 * n), hn + QStringLiteral(" ON"),
                                     QStringLiteral("H_ON %1").arg(n));
        QPushButton *off = makeButton(name + QString::number(2 * n + 1), hn + QStringLiteral(" OFF"),
                                      QStringLiteral("H_OFF %1").arg(n));
        on->setMinimumWidth(bw);
        off->setMinimumWidth(bw);
        g->addWidget(on, n, 0);
        g->addWidget(off, n, 1);
        hOutput[static_cast<size_t>(n)] = {on, off};
    }
    return box;
}

QGroupBox *AxisWidgets::buildPointTable()
{
    auto *box = new QGroupBox(QStringLiteral("Stored points"));
    auto *v = new QVBoxLayout(box);
    v->setSpacing(6);
    auto *row = new QHBoxLayout;
    row->setSpacing(6);
    firstPoint = makeField(QStringLiteral("textfieldPgAdrSelect"), QString(), kPointChars);
    firstPoint->setFixedWidth(charWidth(kPointChars));
    firstPoint->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    row->addWidget(caption(QStringLiteral("First point"), firstPoint));
    row->addWidget(firstPoint);
    firstPointStepper =
        makeStepper(QStringLiteral("stepperPgAdrSelect"), QStringLiteral("Step the first point"));
    row->addWidget(firstPointStepper);
    row->addStretch(1);
    decimal = named(new QRadioButton(QStringLiteral("Decimal")), QStringLiteral("radiobuttonPgTypeDec"));
    hexadecimal = named(new QRadioButton(QStringLiteral("Hex")), QStringLiteral("radiobuttonPgTypeHex"));
    decimal->setChecked(true);
    auto *grp = new QButtonGroup(box);
    grp->addButton(decimal);
    grp->addButton(hexadecimal);
    row->addWidget(decimal);
    row->addWidget(hexadecimal);
    v->addLayout(row);

    auto *g = new QGridLayout;
    g->setHorizontalSpacing(4);
    g->setVerticalSpacing(4);
    pointHeader(g, 0);
    for (int r = 0; r < 4; ++r) {
        const QString n = QString::number(r);
        QLineEdit *adr = makeDisplay(QStringLiteral("textfieldPgAdr") + n,
                                     QStringLiteral("Point row %1 number").arg(n), kPointChars);
        adr->setFixedWidth(charWidth(kPointChars));
        g->addWidget(adr, r + 1, 0);
        rowPoint[static_cast<size_t>(r)] = adr;
        for (int a = 0; a < 4; ++a) {
            const QChar axis = kAxes.at(a);
            QLineEdit *d = makeDisplay(QStringLiteral("textfieldPgData") + axis + n,
                                       QStringLiteral("Point row %1 %2").arg(n).arg(axis), kCoordChars);
            d->setFixedWidth(charWidth(kCoordChars));
            g->addWidget(d, r + 1, a + 1);
            pointData[static_cast<size_t>(r)][static_cast<size_t>(a)] = d;
        }
    }
    g->setColumnStretch(5, 1);
    v->addLayout(g);

    // Writing one point of the list.
    v->addWidget(rule());
    auto *e = new QGridLayout;
    e->setHorizontalSpacing(4);
    e->setVerticalSpacing(4);
    listPoint =
        pointRow(e, QStringLiteral("textfieldPgModAdr"), QStringLiteral("Point to write"),
                 QStringLiteral("textfieldPgModData"), QStringLiteral("Point to write, %1"), listData);
    v->addLayout(e);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(hint(QStringLiteral("Numbers in decimal or &H hexadecimal.")), 1);
    listSet = makeButton(QStringLiteral("buttonPgPlistSetp"), QStringLiteral("Set point"),
                         QStringLiteral("Write this point to the controller (asks first)"));
    buttons->addWidget(listSet);
    v->addLayout(buttons);
    return box;
}

QGroupBox *AxisWidgets::buildPointEditing()
{
    auto *box = new QGroupBox(QStringLiteral("Teach and set position"));
    auto *v = new QVBoxLayout(box);
    v->setSpacing(6);

    auto *teachRow = new QHBoxLayout;
    teachRow->setSpacing(6);
    teachPoint =
        makeField(QStringLiteral("textfieldPgTeachNum"), QStringLiteral("Point to teach"), kPointChars);
    teachPoint->setFixedWidth(charWidth(kPointChars));
    teachPoint->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    teachRow->addWidget(caption(QStringLiteral("Teach point"), teachPoint));
    teachRow->addWidget(teachPoint);
    teach = jogButton(12, QStringLiteral("Teach"),
                      QStringLiteral("Store the current position as this point (asks first)"));
    teachRow->addWidget(teach);
    teachRow->addStretch(1);
    v->addLayout(teachRow);

    v->addWidget(rule());

    auto *g = new QGridLayout;
    g->setHorizontalSpacing(4);
    g->setVerticalSpacing(4);
    setPoint = pointRow(g, QStringLiteral("textfieldPgPosSetPnum"), QStringLiteral("Set position, point"),
                        QStringLiteral("textfieldPgPosSet"), QStringLiteral("Set position, %1"), setData);
    v->addLayout(g);

    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(6);
    copyPositions = jogButton(13, QStringLiteral("Copy pos"),
                              QStringLiteral("Copy the current positions into the row (point 0)"));
    copyCounters = jogButton(15, QStringLiteral("Copy counters"),
                             QStringLiteral("Copy the counters into the row (point -1)"));
    positionSet =
        jogButton(16, QStringLiteral("Set"), QStringLiteral("Write the row to the controller (asks first)"));
    // One width for the pair, as the two clear buttons above them share theirs.
    const int bw = buttonWidth({copyPositions->text(), copyCounters->text()});
    copyPositions->setMinimumWidth(bw);
    copyCounters->setMinimumWidth(bw);
    buttons->addWidget(copyPositions);
    buttons->addWidget(copyCounters);
    buttons->addStretch(1);
    buttons->addWidget(positionSet);
    v->addLayout(buttons);
    return box;
}

} // namespace axis

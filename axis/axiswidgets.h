// The controls of the axis page and their layout. AxisPage owns one of these
// and gives the controls their behaviour; this file only builds and places
// them, under the names tests and outside tools know them by.
#pragma once

#include <QtGlobal>
#include <array>

class QComboBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QWidget;

namespace ui {
class Stepper;
}

namespace axis {

// Index 0 … 3 of the arrays is the axis X, Y, U, Z, except for the signal
// lamps, which follow the signal words' byte order X, Y, Z, U.
template <typename T> using PerAxis = std::array<T *, 4>;

struct AxisWidgets
{
    // Builds every control into `page`, which takes the layout.
    explicit AxisWidgets(QWidget *page);

    QComboBox *board = nullptr;
    QGroupBox *signalBox = nullptr;
    QGroupBox *positionBox = nullptr;

    // Signal lamps, X, Y, Z, U.
    PerAxis<QLabel> plusLimit{}, minusLimit{}, alarm{}, in0{}, in1{}, in3{}, inPosition{};
    PerAxis<QLabel> position{}, counter{};
    QPushButton *clearPositions = nullptr;
    QPushButton *clearCounters = nullptr;
    QComboBox *registerChoice = nullptr;
    QLabel *registerValue = nullptr;

    QComboBox *pulses = nullptr;
    QComboBox *acceleration = nullptr;
    std::array<std::array<QPushButton *, 3>, 4> jog{};     // [axis][minus, stop, plus]
    std::array<std::array<QPushButton *, 2>, 4> hOutput{}; // [output][on, off]

    QLineEdit *firstPoint = nullptr;
    ui::Stepper *firstPointStepper = nullptr;
    QRadioButton *decimal = nullptr;
    QRadioButton *hexadecimal = nullptr;
    PerAxis<QLineEdit> rowPoint{};                 // by row
    std::array<PerAxis<QLineEdit>, 4> pointData{}; // [row][axis]
    QLineEdit *listPoint = nullptr;
    PerAxis<QLineEdit> listData{};
    QPushButton *listSet = nullptr;

    QLineEdit *teachPoint = nullptr;
    QPushButton *teach = nullptr;
    QLineEdit *setPoint = nullptr;
    PerAxis<QLineEdit> setData{};
    QPushButton *copyPositions = nullptr;
    QPushButton *copyCounters = nullptr;
    QPushButton *positionSet = nullptr;

private:
    QGroupBox *buildSignals();
    QGroupBox *buildPositions();
    QGroupBox *buildJog();
    QGroupBox *buildHOutputs();
    QGroupBox *buildPointTable();
    QGroupBox *buildPointEditing();
};

} // namespace axis

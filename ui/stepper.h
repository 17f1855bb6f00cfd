// The up/down arrows beside a number field (a start address, a first task or
// point). It holds the whole 64-bit number the field takes, so a step goes on
// from any number typed, however large.
#pragma once

#include <QAbstractSpinBox>
#include <limits>

namespace ui {

class Stepper : public QAbstractSpinBox
{
    Q_OBJECT

public:
    explicit Stepper(QWidget *parent = nullptr);

    qint64 value() const { return m_value; }
    qint64 minimum() const { return m_min; }
    qint64 maximum() const { return m_max; }
    // Keeps the value within the range, as setValue does.
    void setRange(qint64 min, qint64 max);
    // Clamped to the range; emits valueChanged when the value changes.
    void setValue(qint64 value);
    // The same, without valueChanged: the arrows follow a number typed into
    // their field, whose own action has laid the rows out already.
    void follow(qint64 value);

    void stepBy(int steps) override;

signals:
    void valueChanged(qint64 value);

protected:
    StepEnabled stepEnabled() const override;

private:
    qint64 m_value = 0;
    qint64 m_min = std::numeric_limits<qint64>::min();
    qint64 m_max = std::numeric_limits<qint64>::max();
};

} // namespace ui

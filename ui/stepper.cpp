#include "ui/stepper.h"

#include <QLineEdit>
#include <QSignalBlocker>

namespace ui {

Stepper::Stepper(QWidget *parent) : QAbstractSpinBox(parent)
{
    lineEdit()->setText(QStringLiteral("0"));
}

void Stepper::setRange(qint64 min, qint64 max)
{
    m_min = min;
    m_max = qMax(min, max);
    setValue(m_value);
}

void Stepper::setValue(qint64 value)
{
    const qint64 v = qBound(m_min, value, m_max);
    if (v == m_value)
        return;
    m_value = v;
    // The hidden edit carries the number for screen readers.
    {
        const QSignalBlocker block(lineEdit());
        lineEdit()->setText(QString::number(v));
    }
    emit valueChanged(v);
}

void Stepper::follow(qint64 value)
{
    const QSignalBlocker block(this);
    setValue(value);
}

void Stepper::stepBy(int steps)
{
    // Saturates at the range's ends instead of wrapping around 64 bits.
    qint64 v = 0;
    if (qAddOverflow(m_value, qint64(steps), &v))
        v = steps < 0 ? m_min : m_max;
    setValue(v);
}

QAbstractSpinBox::StepEnabled Stepper::stepEnabled() const
{
    StepEnabled e = StepNone;
    if (m_value > m_min)
        e |= StepDownEnabled;
    if (m_value < m_max)
        e |= StepUpEnabled;
    return e;
}

} // namespace ui

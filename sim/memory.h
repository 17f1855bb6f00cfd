// The controller's memory spaces: the general bits (outputs, inputs and the
// wiring that loops each output back to an input), the internal relays, the
// CU bits, the MBK words, and the named variables and arrays.
//
// Bit numbers (as ON/OFF and IN() use them):
//   0 .. 1023          general bits, byte n = bits 8n .. 8n+7. Outputs are bytes
//                      0-23, 48-71 and 96; inputs are bytes 24-47, 72-95 and 120.
//                      Input byte b+24 follows output byte b kInputFollowMs later.
//   -1 .. -8192        internal relays; bit k of IN(n) (n < 0) is relay 8n+7-k.
//   2000 .. 6095       CU bits, byte 2000 + (n-2000)/8, bit (n-2000)%8.
//   70000 .. 79999     MBK bits: MBK bit n is bit (n % 16) of MBK word n / 16, so
//                      the whole MBK bit area lives in words 4375 .. 4999 and a
//                      NEWM clears it together with the other words.
// MBK words are 16 bits at addresses 0 .. 65535; a ~Lng value keeps its low half
// in word a and its high half in word a+1.
#pragma once

#include "sim/error.h"
#include "sim/value.h"

#include <QHash>
#include <QMap>
#include <QString>

#include <deque>
#include <vector>

namespace sim {

class Memory
{
public:
    static constexpr qint64 kMbkWords = 65536;
    static constexpr qint64 kInputFollowMs = 200;

    // now: the machine's time in ms, read when an output change is scheduled
    // to reach its input.
    explicit Memory(const qint64 &now);

    // --- bits -------------------------------------------------------------
    bool bit(qint64 n) const;
    void setBit(qint64 n, bool on);  // any bit, inputs too
    Err forceBit(qint64 n, bool on); // as ON/OFF: inputs refuse
    // IN(n) and IN(n~Wrd): eight (sixteen) bits of a space as a number.
    Err readInByte(qint64 n, bool word, qint64 &v) const;
    // CLR_OUTP's mask: 1 outputs, 2 CU bits, 4 MBK bits, 8 relays.
    void clearSpaces(qint64 mask);
    // The inputs that follow outputs: applies what is due by now.
    void applyFollows();
    qint64 nextFollowAt() const; // the largest qint64 when nothing is due

    // --- MBK words --------------------------------------------------------
    quint16 mbkWord(qint64 a) const; // 0 outside the space
    void setMbkWord(qint64 a, quint16 v);
    // cast is "" / "INT" (signed word), "WRD" (unsigned word) or "LNG" (two words).
    bool readMbk(qint64 a, const QString &cast, qint64 &v) const;
    Err writeMbk(qint64 a, const QString &cast, qint64 v);
    Err fillMbk(qint64 a, qint64 count, qint64 v);
    void clearMbk();

    // --- variables (names in upper case, strings end in '$') --------------
    Value variable(const QString &name) const; // 0 or "" when never set
    // Both refuse with Memory once variables and array items together would
    // hold more than the memory's size.
    Err setVariable(const QString &name, const Value &v);
    Value arrayItem(const QString &name, qint64 i) const;
    Err setArrayItem(const QString &name, qint64 i, const Value &v);

private:
    enum class BitKind { None, Output, Input, Relay, Cu, Mbk, OtherGeneral };
    struct Follow
    {
        qint64 at;
        qint64 bit;
        bool on;
    };
    static BitKind bitKind(qint64 n);
    // What an entry named name holding v costs against the memory's size.
    static qsizetype cost(const QString &name, const Value &v);
    Err charge(qsizetype before, qsizetype after);

    const qint64 &m_now;
    std::vector<quint8> m_general; // 128 bytes
    std::vector<bool> m_relays;    // relay -1 at index 0
    std::vector<bool> m_cu;        // CU bit 2000 at index 0
    std::vector<quint16> m_mbk;
    std::deque<Follow> m_follows;
    QHash<QString, Value> m_vars;
    QHash<QString, QMap<qint64, Value>> m_arrays;
    qsizetype m_valueSize = 0; // the cost of all variables and array items
};

} // namespace sim

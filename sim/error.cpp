// The controller's error messages, Japanese first as on the real panel.
#include "sim/error.h"

namespace sim {

QString errorText(Err e)
{
    switch (e) {
    case Err::None:
        return QString();
    case Err::Syntax:
        return QStringLiteral("構文エラー (Syntax Error)");
    case Err::NoBoard:
        return QStringLiteral("ボードがありません (No board)");
    case Err::Range:
        return QStringLiteral("範囲外の値です (Out of Range)");
    case Err::InputForce:
        return QStringLiteral("入力は操作できません (Input cannot be forced)");
    case Err::LineTooLong:
        return QStringLiteral("行が長すぎます (Line too long)");
    case Err::BadChar:
        return QStringLiteral("文字コードが不正です (Invalid Character)");
    case Err::NotAtBreak:
        return QStringLiteral("ブレーク中ではありません (Not at Breakpoint)");
    case Err::NoLine:
        return QStringLiteral("行がありません (Undefined Line)");
    case Err::DivZero:
        return QStringLiteral("ゼロで除算しました (Division by Zero)");
    case Err::BadClock:
        return QStringLiteral("日時が不正です (Invalid Date/Time)");
    case Err::Type:
        return QStringLiteral("型が一致しません (Type Mismatch)");
    case Err::Memory:
        return QStringLiteral("メモリが不足しています (Out of Memory)");
    }
    return QString();
}

} // namespace sim

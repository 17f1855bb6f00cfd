#include "transfer/kinds.h"

#include "link/protocol.h"

namespace transfer {

namespace {

Traits makeProgram()
{
    Traits t;
    t.loadTitle = QStringLiteral("Program Load");
    t.loadMessage = QStringLiteral("プログラムをQUORINに読み込みます");
    t.saveTitle = QStringLiteral("Program Save");
    t.saveMessage = QStringLiteral("プログラムをPCに保存します");
    t.extension = QStringLiteral("f2k");
    t.clearCommands = {QLatin1String(protocol::kClearProgram), QLatin1String(protocol::kLoadModeOn)};
    // Saved programs carry no line numbers; the controller numbers them again.
    t.finishCommands = {QLatin1String(protocol::kLoadModeWord), QLatin1String(protocol::kRenumber)};
    t.cutComments = true;
    t.refuseHash = true;
    t.replyRule = ReplyRule::TextBeforePrompt;
    t.listCommand = QStringLiteral("LIST 0 0");
    t.dropBeforeTab = true;
    t.loadedWord = QStringLiteral("Program Loaded ");
    t.savedWord = QStringLiteral("Program Saved ");
    return t;
}

Traits makePoint()
{
    Traits t;
    t.loadTitle = QStringLiteral("Point Load");
    t.loadMessage = QStringLiteral("ポイントデータをQUORINに読み込みます");
    t.saveTitle = QStringLiteral("Point Save");
    t.saveMessage = QStringLiteral("ポイントデータをPCに保存します");
    t.extension = QStringLiteral("p2k");
    t.clearCommands = {QStringLiteral("NEWP")};
    t.replyRule = ReplyRule::MoreThanTwoPieces;
    t.listCommand = QStringLiteral("PLS -1");
    t.loadedWord = QStringLiteral("Point Loaded ");
    t.savedWord = QStringLiteral("Point Saved ");
    return t;
}

Traits makeMbk()
{
    Traits t;
    t.loadTitle = QStringLiteral("MBK Load");
    t.loadMessage = QStringLiteral("MBKデータをQUORINに読み込みます");
    t.saveTitle = QStringLiteral("MBK Save");
    t.saveMessage = QStringLiteral("MBKデータをPCに保存します");
    t.extension = QStringLiteral("mbk");
    t.clearCommands = {QStringLiteral("NEWM")};
    t.replyRule = ReplyRule::MoreThanTwoPieces;
    t.listCommand = QStringLiteral("S_MBK -1");
    t.loadedWord = QStringLiteral("MBK Loaded ");
    t.savedWord = QStringLiteral("MBK Saved ");
    return t;
}

} // namespace

Traits traits(Kind kind, Origin origin)
{
    Traits t = traits(kind);
    t.cutComments = t.cutComments && origin == Origin::File;
    return t;
}

const Traits &traits(Kind kind)
{
    static const Traits program = makeProgram();
    static const Traits point = makePoint();
    static const Traits mbk = makeMbk();
    switch (kind) {
    case Kind::Program:
        return program;
    case Kind::Point:
        return point;
    case Kind::Mbk:
        break;
    }
    return mbk;
}

} // namespace transfer

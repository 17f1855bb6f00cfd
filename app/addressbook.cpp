#include "app/addressbook.h"

#include "link/sendpath.h"

#include <QHostAddress>
#include <QSet>
#include <QSettings>

#include <algorithm>

namespace app {

namespace {
const QString kGroup = QStringLiteral("controllers");

bool isAddress(const QString &text)
{
    return wire::parseAddress(text.trimmed(), wire::kControllerPort).ok;
}

// Whether two addresses as typed reach the same port of the same host, as far
// as can be told without asking a name server: "::1" is "[0:0::1]:23", and a
// host name matches itself in any case.
bool sameEndpoint(const QString &a, const QString &b)
{
    const wire::Address x = wire::parseAddress(a, wire::kControllerPort);
    const wire::Address y = wire::parseAddress(b, wire::kControllerPort);
    if (!x.ok || !y.ok || x.port != y.port)
        return false;
    const QHostAddress hx(x.host);
    const QHostAddress hy(y.host);
    if (!hx.isNull() || !hy.isNull())
        return hx.isEqual(hy, QHostAddress::StrictConversion);
    return x.host.compare(y.host, Qt::CaseInsensitive) == 0;
}

// A name heads the journals' lines and the window's title: one line of
// text, without tabs or other control characters.
bool isOneLine(const QString &name)
{
    return std::none_of(name.cbegin(), name.cend(), [](QChar c) {
        return c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
               c == QChar::ParagraphSeparator;
    });
}
} // namespace

void AddressBook::load(QSettings &store)
{
    controllers.clear();
    QSet<QString> seen;
    const int size = store.beginReadArray(kGroup);
    for (int i = 0; i < size; ++i) {
        store.setArrayIndex(i);
        NamedController c;
        c.name = store.value(QStringLiteral("name")).toString().trimmed();
        c.address = store.value(QStringLiteral("address")).toString().trimmed();
        c.note = store.value(QStringLiteral("note")).toString();
        c.watchOnly = store.value(QStringLiteral("watchOnly"), false).toBool();
        if (c.name.isEmpty() || !isOneLine(c.name) || !isAddress(c.address) ||
            seen.contains(c.name.toCaseFolded()))
            continue;
        seen.insert(c.name.toCaseFolded());
        controllers << c;
    }
    store.endArray();
}

bool AddressBook::save(QSettings &store) const
{
    // A shorter list leaves no entries of the longer one behind.
    store.remove(kGroup);
    store.beginWriteArray(kGroup, int(controllers.size()));
    for (int i = 0; i < controllers.size(); ++i) {
        store.setArrayIndex(i);
        const NamedController &c = controllers.at(i);
        store.setValue(QStringLiteral("name"), c.name.trimmed());
        store.setValue(QStringLiteral("address"), c.address.trimmed());
        store.setValue(QStringLiteral("note"), c.note);
        store.setValue(QStringLiteral("watchOnly"), c.watchOnly);
    }
    store.endArray();
    store.sync();
    // Not a format error met while reading: that leaves the list written.
    return store.status() != QSettings::AccessError;
}

bool AddressBook::saveEdits(QSettings &store, const QList<NamedController> &before) const
{
    // What another copy wrote since this one last read the file.
    store.sync();
    AddressBook now;
    now.load(store);
    const auto key = [](const NamedController &c) { return c.name.trimmed().toCaseFolded(); };
    const auto in = [&key](const QList<NamedController> &list, const QString &k) -> const NamedController * {
        for (const NamedController &c : list) {
            if (key(c) == k)
                return &c;
        }
        return nullptr;
    };
    AddressBook merged;
    for (const NamedController &c : controllers) {
        const NamedController *was = in(before, key(c));
        if (was && *was == c) {
            if (const NamedController *stored = in(now.controllers, key(c)))
                merged.controllers << *stored;
        } else {
            merged.controllers << c;
        }
    }
    for (const NamedController &c : now.controllers) {
        if (!in(controllers, key(c)) && !in(before, key(c)))
            merged.controllers << c;
    }
    return merged.save(store);
}

std::optional<NamedController> AddressBook::find(const QString &name) const
{
    const QString wanted = name.trimmed();
    if (wanted.isEmpty())
        return std::nullopt;
    for (const NamedController &c : controllers) {
        if (c.name.trimmed().compare(wanted, Qt::CaseInsensitive) == 0)
            return c;
    }
    return std::nullopt;
}

QString AddressBook::problem(const QList<NamedController> &list)
{
    QSet<QString> seen;
    for (int i = 0; i < list.size(); ++i) {
        const NamedController &c = list.at(i);
        const QString name = c.name.trimmed();
        if (name.isEmpty())
            return QStringLiteral("Row %1 has no name: every controller needs one.").arg(i + 1);
        if (!isOneLine(name))
            return QStringLiteral("Row %1's name holds a line break or another control character: a name is "
                                  "one line of text.")
                .arg(i + 1);
        if (seen.contains(name.toCaseFolded()))
            return QStringLiteral("The name \"%1\" is used twice: each controller needs a name of its own.")
                .arg(name);
        seen.insert(name.toCaseFolded());
        if (!isAddress(c.address))
            return QStringLiteral("The address of \"%1\" is not an address: give host, host:port or "
                                  "[IPv6]:port.")
                .arg(name);
    }
    return QString();
}

ConnectTarget resolveConnectTarget(const AddressBook &book, const QString &text)
{
    ConnectTarget t;
    if (const std::optional<NamedController> c = book.find(text)) {
        t.address = c->address.trimmed();
        t.name = c->name.trimmed();
        t.watchOnly = c->watchOnly;
        if (t.watchOnly)
            t.watchOnlyName = t.name;
        return t;
    }
    if (isAddress(text)) {
        t.address = text.trimmed();
        // The lock goes with the controller, however it is reached.
        for (const NamedController &c : book.controllers) {
            if (c.watchOnly && sameEndpoint(c.address, t.address)) {
                t.watchOnly = true;
                t.watchOnlyName = c.name.trimmed();
                break;
            }
        }
        return t;
    }
    t.error = QStringLiteral("'%1' is not an address (host, host:port or [IPv6]:port) and no controller "
                             "in the address book (File > Controllers\u2026) has that name.")
                  .arg(text.trimmed());
    return t;
}

} // namespace app

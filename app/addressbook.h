// The address book: the controllers a plant engineer looks after, each under
// a name of its own, kept in the settings as an array ("controllers/size",
// "controllers/1/name"...). Widget-free, so that the command line, the
// window-less mode and the tests use the same rules.
#pragma once

#include <QList>
#include <QString>
#include <optional>

class QSettings;

namespace app {

struct NamedController
{
    QString name;
    QString address; // as typed: host, host:port or [IPv6]:port
    QString note;
    bool watchOnly = false; // connecting by name or address turns the watch-only lock on

    bool operator==(const NamedController &) const = default;
};

class AddressBook
{
public:
    QList<NamedController> controllers;

    // Entries without a name or with an address that is not one are dropped,
    // as is a second entry of a name already read.
    void load(QSettings &store);
    // Replaces whatever the store held under "controllers"; false when the
    // store could not be written.
    bool save(QSettings &store) const;
    // Saves the list as this copy's edits of `before` (the list it started
    // from), made on what the store holds by now: another copy of the program
    // may have saved its own edits meanwhile, and they stay. A controller
    // left as it was in `before` comes as the store has it now (or not at
    // all, if the other copy removed it); one added or changed here comes as
    // this list has it; one removed here goes. The other copy's additions
    // follow this list's. False when the store could not be written.
    bool saveEdits(QSettings &store, const QList<NamedController> &before) const;

    // Names match whole, after trimming, ignoring case.
    std::optional<NamedController> find(const QString &name) const;

    // What is wrong with `list` as a user would read it, or empty when it can
    // be saved: every name present and different, every address an address.
    static QString problem(const QList<NamedController> &list);
};

// What a "--connect" value or the address field's text reaches.
struct ConnectTarget
{
    QString address;
    QString name;           // empty when `text` was an address
    bool watchOnly = false; // the book keeps it watch only, under its name or its address
    QString watchOnlyName;  // the book's entry that does
    QString error;          // set when `text` is neither a stored name nor an address
};

// A stored name wins over an address spelled the same way.
ConnectTarget resolveConnectTarget(const AddressBook &book, const QString &text);

} // namespace app

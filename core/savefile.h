// Writing a whole file at once: the file on disk is either the old one or
// the new one, never a part of the new.
#pragma once

#include <QByteArray>
#include <QString>

namespace core {

// Replaces the file at `path` with `bytes`; the reason when it could not,
// else empty (the old file, if any, is then as it was).
QString saveWhole(const QString &path, const QByteArray &bytes);

} // namespace core

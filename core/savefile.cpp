#include "core/savefile.h"

#include <QSaveFile>

namespace core {

QString saveWhole(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    // The write only fills the device's buffer, and commit() renames the
    // file into place even when emptying that buffer fails (a full disk, a
    // size limit): the buffer is emptied here, where a failure still cancels.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const QString why = file.errorString();
        file.cancelWriting();
        return why;
    }
    if (!file.commit())
        return file.errorString();
    return QString();
}

} // namespace core

// Runs a fuzz target's checks over files or folders of files (a seed corpus), one
// input a file, with the ordinary compiler. A broken check aborts, as under the fuzzer.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

int main(int argc, char **argv)
{
    int inputs = 0;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        QStringList paths{arg};
        if (QFileInfo(arg).isDir()) {
            paths.clear();
            for (const QString &name : QDir(arg).entryList(QDir::Files, QDir::Name))
                paths << QDir(arg).filePath(name);
        }
        for (const QString &path : paths) {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly)) {
                std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
                return 1;
            }
            const QByteArray bytes = file.readAll();
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(bytes.constData()),
                                   static_cast<size_t>(bytes.size()));
            ++inputs;
        }
    }
    if (inputs == 0) { // an empty corpus proves nothing
        std::fprintf(stderr, "no inputs\n");
        return 1;
    }
    std::printf("%d inputs, every check held\n", inputs);
    return 0;
}

// Runs a fuzz target's checks over files, with the ordinary compiler: each
// argument is a file or a folder of files (a seed corpus), each file one
// input. A broken check aborts, as under the fuzzer.
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
    // An empty corpus proves nothing.
    if (inputs == 0) {
        std::fprintf(stderr, "no inputs\n");
        return 1;
    }
    std::printf("%d inputs, every check held\n", inputs);
    return 0;
}

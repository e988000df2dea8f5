// Runs a fuzz target's entry function over files and folders of inputs, as
// libFuzzer would, for builds without libFuzzer: the corpus then serves as a
// plain regression test. Inputs are taken in name order; a broken check aborts.

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace {

bool runFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
        return false;
    }
    const QByteArray input = file.readAll();
    std::fprintf(stderr, "input %s (%lld bytes)\n", qPrintable(path), static_cast<long long>(input.size()));
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(input.constData()), size_t(input.size()));
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    int count = 0;
    bool ok = true;
    for (int i = 1; i < argc; ++i) {
        const QFileInfo info(QString::fromLocal8Bit(argv[i]));
        if (info.isDir()) {
            const QStringList names = QDir(info.filePath()).entryList(QDir::Files, QDir::Name);
            for (const QString &name : names) {
                ok = runFile(QDir(info.filePath()).filePath(name)) && ok;
                ++count;
            }
        } else {
            ok = runFile(info.filePath()) && ok;
            ++count;
        }
    }
    if (count == 0) {
        std::fprintf(stderr, "no inputs found\n");
        return 1;
    }
    std::printf("%d inputs replayed\n", count);
    return ok ? 0 : 1;
}

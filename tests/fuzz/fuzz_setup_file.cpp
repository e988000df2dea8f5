// The setup-file reader on any file content: every file reads, the values it
// gives are written back and read again unchanged.

#include "FuzzSupport.h"

#include "files/LeesIniFile.h"
#include "files/Setup.h"

#include <QDir>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 64 * 1024)
        return 0;
    const QString home = Fuzz::scratchFolder().path();
    Fuzz::writeFile(LeesIniFile::setupFilePath(home), QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));

    Setup setup;
    setup.Compoort = 99;
    setup.SetPath = QStringLiteral("stale");
    LeesIniFile::ReadSetupFile(setup, home);

    const FileResult written = LeesIniFile::WriteSetupFile(setup, home);
    FUZZ_CHECK(written.ok, QStringLiteral("writing what was read failed: ") + written.error);
    const QByteArray content = Fuzz::readFile(LeesIniFile::setupFilePath(home));
    FUZZ_CHECK(content.count("\r\n") == 4, QStringLiteral("the setup file has not four lines"));

    Setup again;
    LeesIniFile::ReadSetupFile(again, home);
    FUZZ_CHECK(again.Compoort == setup.Compoort && again.Logfile == setup.Logfile && again.SetPath == setup.SetPath
                   && again.UnitType == setup.UnitType,
               QStringLiteral("read back differs: %1 %2 \"%3\" %4 against %5 %6 \"%7\" %8")
                   .arg(again.Compoort).arg(again.Logfile).arg(again.SetPath).arg(again.UnitType)
                   .arg(setup.Compoort).arg(setup.Logfile).arg(setup.SetPath).arg(setup.UnitType));
    return 0;
}

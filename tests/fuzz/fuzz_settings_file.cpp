// The settings-file readers on any file content: the default file reads every
// file to the end, fills only items 0-249 with values of their kind, and what
// it read can be saved again, and saving that once more changes no byte. A
// file the operator picks reads the same, or is refused and changes nothing.

#include "FuzzSupport.h"

#include "binding/HeadlessItemControls.h"
#include "binding/Startup.h"
#include "files/LeesIniFile.h"
#include "model/Items.h"
#include "model/Stores.h"

#include <cmath>

namespace {

// The stores and controls as start-up leaves them. Filling the choice lists
// costs more than reading a file, so it is done once; each input starts from
// a copy (the lists are shared, not copied).
struct Screen
{
    Stores stores;
    HeadlessItemControls controls;

    static Screen fresh()
    {
        static const Screen *const started = [] {
            auto *screen = new Screen; // lives to the end of the process
            Startup::FillChoiceLists(screen->controls);
            return screen;
        }();
        return *started;
    }
};

void checkStores(const Stores &stores)
{
    for (int i = 0; i < Items::kItemCount; ++i) {
        const Value &f = stores.fileValues[i];
        if (i < 150)
            FUZZ_CHECK(std::holds_alternative<double>(f), QStringLiteral("file value %1 is not a number").arg(i));
        else
            FUZZ_CHECK(Values::isText(f), QStringLiteral("file value %1 is not a text").arg(i));
        FUZZ_CHECK(stores.unitValues[i] == Values::integer(-1), QStringLiteral("unit value %1 kept").arg(i));
    }
    // The spare entry takes part in the copies and resets, but no line fills it.
    FUZZ_CHECK(Values::isEmpty(stores.fileValues[250]) && Values::isEmpty(stores.workingValues[250])
                   && stores.unitValues[250] == Values::integer(-1),
               QStringLiteral("the spare entry 250 was filled"));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 64 * 1024)
        return 0;
    const QString home = Fuzz::scratchFolder().path();
    const QString original = LeesIniFile::defaultSettingsPath(home);
    const QString saved = Fuzz::scratchPath(QStringLiteral("saved.cfg"));
    const QString savedAgain = Fuzz::scratchPath(QStringLiteral("saved-again.cfg"));
    Fuzz::writeFile(original, QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));

    // The default file reads whatever it holds.
    Screen first = Screen::fresh();
    LeesIniFile::ReadDefaultSettings(first.stores, first.controls, home);
    checkStores(first.stores);

    // The same file picked by the operator: read alike, or refused with nothing changed.
    Screen picked = Screen::fresh();
    const Stores before = picked.stores;
    const FileResult read = LeesIniFile::ReadSettingsFile(picked.stores, picked.controls, original);
    if (read.ok) {
        FUZZ_CHECK(picked.stores.fileValues == first.stores.fileValues
                       && picked.stores.workingValues == first.stores.workingValues,
                   QStringLiteral("the default file and a picked file read differently"));
    } else {
        FUZZ_CHECK(read.error.contains(QStringLiteral("too large")), QStringLiteral("reading failed: ") + read.error);
        FUZZ_CHECK(picked.stores.fileValues == before.fileValues && picked.stores.workingValues == before.workingValues
                       && picked.stores.unitValues == before.unitValues,
                   QStringLiteral("a refused file changed the values"));
    }

    // What was loaded can be saved: the operator never holds settings he cannot keep.
    const FileResult write = LeesIniFile::WriteSettingsFile(first.stores, first.controls, saved);
    FUZZ_CHECK(write.ok, QStringLiteral("saving what was read failed: ") + write.error);

    Screen second = Screen::fresh();
    const FileResult again = LeesIniFile::ReadSettingsFile(second.stores, second.controls, saved);
    FUZZ_CHECK(again.ok, QStringLiteral("reading a saved file failed: ") + again.error);
    for (int i = 0; i < Items::kItemCount; ++i)
        FUZZ_CHECK(second.stores.workingValues[i] == first.stores.workingValues[i]
                       || (i < 150 && Values::numberOf(second.stores.workingValues[i])
                                          == Values::roundHalfEven(Values::numberOf(first.stores.workingValues[i]))),
                   QStringLiteral("item %1: saved \"%2\", read back \"%3\"")
                       .arg(i)
                       .arg(Values::textOf(first.stores.workingValues[i]), Values::textOf(second.stores.workingValues[i])));
    FUZZ_CHECK(LeesIniFile::WriteSettingsFile(second.stores, second.controls, savedAgain).ok, QString());
    FUZZ_CHECK(Fuzz::readFile(saved) == Fuzz::readFile(savedAgain), QStringLiteral("a second save differs"));
    return 0;
}

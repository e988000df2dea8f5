#include "LeesIniFile.h"

#include "Setup.h"
#include "TextFile.h"

#include "binding/ItemControls.h"
#include "binding/ModUnitUpdate.h"
#include "model/Cp1252.h"
#include "model/Diverse.h"
#include "model/Items.h"
#include "model/Stores.h"
#include "model/Value.h"
#include "model/ValueCheck.h"

#include <QDir>

#include <array>
#include <charconv>
#include <cmath>
#include <optional>

namespace LeesIniFile {
namespace {

constexpr int kFirstTekstItem = 150;
constexpr int kSetupLineCount = 4;
// The first four characters of a line hold its number.
constexpr int kNumberWidth = 4;

constexpr char kSettingsSeparator[] = "    ->";
constexpr std::array<const char *, kSetupLineCount> kSetupLabels = {
    "0        Compoort ->",
    "1      Logfile ->",
    "2       SetPath ->",
    "3       UnitType ->",
};

// The value texts of lines numbered 0 .. count-1; a later line wins.
template<std::size_t N>
TextFile::ReadOutcome readRecords(const QString &path, std::array<QString, N> &texts)
{
    return TextFile::forEachLine(path, [&texts](const QByteArray &line) {
        const auto record = parseRecord(line);
        if (record && record->number < int(N))
            texts[record->number] = record->valueText;
    });
}

// The whole number of a value, halves to even, in full decimal digits (no
// exponent, no "-0"); nothing for infinities and NaN.
std::optional<QByteArray> wholeNumberText(double v)
{
    if (!std::isfinite(v))
        return std::nullopt;
    double whole = Values::roundHalfEven(v);
    if (whole == 0)
        whole = 0; // drops the sign of -0
    std::array<char, 400> buffer; // DBL_MAX has 309 digits
    const auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), whole,
                                         std::chars_format::fixed);
    if (ec != std::errc())
        return std::nullopt;
    return QByteArray(buffer.data(), end - buffer.data());
}

// Why a text cannot stand on one line of a file; empty when it can.
QString unstorableTextReason(const QString &text)
{
    if (text.contains(u'\r') || text.contains(u'\n'))
        return QStringLiteral("contains a line break");
    const qsizetype bad = Cp1252::firstUnencodable(text);
    if (bad >= 0) {
        const qsizetype length = text.at(bad).isHighSurrogate() && bad + 1 < text.size() ? 2 : 1;
        return QStringLiteral("contains the character \"%1\" (%2)")
            .arg(text.mid(bad, length), Cp1252::characterName(text, bad));
    }
    return QString();
}

FileResult refusal(const QString &what, const QString &path, const QString &reason)
{
    return FileResult::failure(QStringLiteral("Could not save the %1 \"%2\": %3, which the file cannot hold. "
                                              "Nothing was saved.")
                                   .arg(what, TextFile::displayName(path), reason));
}

// File values, then the unit is forgotten, then the working values and the screen.
void applySettings(Stores &stores, ItemControls &controls, const std::array<QString, Items::kItemCount> &texts)
{
    for (int i = 0; i < kFirstTekstItem; ++i) {
        // A number too large to hold could never be saved again: it reads as 0.
        const double v = Values::numericValueOfText(texts[i]);
        stores.fileValues[i] = Values::number(std::isfinite(v) ? v : 0.0);
    }
    for (int i = kFirstTekstItem; i < Items::kItemCount; ++i)
        stores.fileValues[i] = Values::text(texts[i]);
    stores.ResetUnitValues();
    stores.FileToWorkingValues();
    ModUnitUpdate::ShowAllValues(stores, controls);
}

FileResult writeSettings(Stores &stores, ItemControls &controls, const QString &path,
                         const QString &homeFolder = QString())
{
    ModUnitUpdate::TakeAllValues(stores, controls);
    stores.WorkingToFileValues();
    return writeSettingsValues(stores.fileValues, path, homeFolder);
}

qint16 setupNumber(const QString &text)
{
    return Values::roundToInt16(Values::numericValueOfText(text)).value_or(0);
}

} // namespace

FileResult settingsContent(const Stores::ValueStore &values, const QString &path, QByteArray *content)
{
    const QString what = QStringLiteral("settings file");
    content->clear();
    content->reserve(8 * 1024);
    for (int i = 0; i < Items::kItemCount; ++i) {
        const Value &value = values[i];
        QByteArray valueBytes;
        if (i < kFirstTekstItem) {
            const auto number = wholeNumberText(Values::numberOf(value));
            if (!number)
                return refusal(what, path, QStringLiteral("the value of item %1 is not a finite number").arg(i));
            valueBytes = *number;
        } else {
            const QString text = Values::textOf(value);
            const QString reason = unstorableTextReason(text);
            if (!reason.isEmpty())
                return refusal(what, path, QStringLiteral("the text of item %1 %2").arg(i).arg(reason));
            valueBytes = *Cp1252::encode(text);
        }
        *content += QByteArray::number(i) + kSettingsSeparator + valueBytes + "\r\n";
    }
    return FileResult::success();
}

FileResult writeSettingsValues(const Stores::ValueStore &values, const QString &path, const QString &homeFolder)
{
    QByteArray content;
    if (const FileResult built = settingsContent(values, path, &content); !built)
        return built;
    return TextFile::replaceAtomically(path, content, QStringLiteral("settings file"), homeFolder);
}

QString setupFilePath(const QString &homeFolder)
{
    return QDir(homeFolder).filePath(QStringLiteral("Tessaro.set"));
}

QString defaultSettingsPath(const QString &homeFolder)
{
    return QDir(homeFolder).filePath(QStringLiteral("default.set"));
}

QString settingsStartFolder(const Setup &setup, const QString &homeFolder)
{
    if (!setup.SetPath.isEmpty())
        return setup.SetPath;
    return QDir(homeFolder).filePath(QStringLiteral("Instellingen"));
}

void ReadSetupFile(Setup &setup, const QString &homeFolder)
{
    // A missing or unreadable file reads as empty; a failure midway keeps the lines before it.
    std::array<QString, kSetupLineCount> texts;
    readRecords(setupFilePath(homeFolder), texts);
    setup.Compoort = setupNumber(texts[0]);
    setup.Logfile = setupNumber(texts[1]);
    setup.SetPath = texts[2];
    setup.UnitType = setupNumber(texts[3]);
}

FileResult WriteSetupFile(const Setup &setup, const QString &homeFolder)
{
    const QString path = setupFilePath(homeFolder);
    const QString reason = unstorableTextReason(setup.SetPath);
    if (!reason.isEmpty())
        return refusal(QStringLiteral("setup file"), path, QStringLiteral("the settings folder %1").arg(reason));

    const std::array<QByteArray, kSetupLineCount> values = {
        Diverse::NumberText(setup.Compoort).toLatin1(),
        Diverse::NumberText(setup.Logfile).toLatin1(),
        *Cp1252::encode(setup.SetPath),
        Diverse::NumberText(setup.UnitType).toLatin1(),
    };
    QByteArray content;
    for (int i = 0; i < kSetupLineCount; ++i)
        content += kSetupLabels[i] + values[i] + "\r\n";
    return TextFile::replaceAtomically(path, content, QStringLiteral("setup file"), homeFolder);
}

FileResult WriteSettingsFile(Stores &stores, ItemControls &controls, const QString &path)
{
    if (path.isEmpty())
        return FileResult::success();
    return writeSettings(stores, controls, path);
}

FileResult ReadSettingsFile(Stores &stores, ItemControls &controls, const QString &path)
{
    if (path.isEmpty())
        return FileResult::success();
    // The operator picked this file: if it cannot be read whole, nothing changes.
    std::array<QString, Items::kItemCount> texts;
    const TextFile::ReadOutcome outcome = readRecords(path, texts);
    if (outcome.status != TextFile::ReadStatus::Complete)
        return FileResult::failure(outcome.error);
    for (int i = 0; i < kFirstTekstItem; ++i) {
        if (!std::isfinite(Values::numericValueOfText(texts[i])))
            return FileResult::failure(QStringLiteral("Could not read \"%1\": the value of item %2 is a number too "
                                                      "large to hold. Nothing was changed.")
                                           .arg(TextFile::displayName(path))
                                           .arg(i));
    }
    applySettings(stores, controls, texts);
    return FileResult::success();
}

FileResult WriteDefaultSettings(Stores &stores, ItemControls &controls, const QString &homeFolder)
{
    return writeSettings(stores, controls, defaultSettingsPath(homeFolder), homeFolder);
}

void ReadDefaultSettings(Stores &stores, ItemControls &controls, const QString &homeFolder)
{
    // Missing or unreadable reads as empty; a failure midway keeps the lines before it.
    std::array<QString, Items::kItemCount> texts;
    readRecords(defaultSettingsPath(homeFolder), texts);
    applySettings(stores, controls, texts);
}

std::optional<Record> parseRecord(const QByteArray &line)
{
    const qsizetype arrow = line.indexOf("->");
    if (arrow < 0)
        return std::nullopt;
    Record record;
    const qsizetype width = qMin<qsizetype>(kNumberWidth, line.size());
    for (qsizetype i = 0; i < width; ++i) {
        const char c = line[i];
        if (c == ' ' || c == '\t')
            continue;
        if (c < '0' || c > '9')
            break;
        record.number = record.number * 10 + (c - '0');
    }
    record.valueText = Cp1252::decode(QByteArrayView(line).sliced(arrow + 2));
    return record;
}

FileResult readValueLines(const QString &path, QMap<int, ValueLine> *lines)
{
    int number = 0;
    const TextFile::ReadOutcome outcome = TextFile::forEachLine(path, [&](const QByteArray &line) {
        ++number;
        const auto record = parseRecord(line);
        if (record && record->number < Items::kItemCount)
            lines->insert(record->number, ValueLine{number, record->valueText});
    });
    if (outcome.status != TextFile::ReadStatus::Complete)
        return FileResult::failure(outcome.error);
    return FileResult::success();
}

QList<UnsendableValue> unsendableValues(const QMap<int, ValueLine> &lines, const QList<int> &items)
{
    QList<UnsendableValue> found;
    for (int n : items) {
        const auto it = lines.constFind(n);
        if (it == lines.cend())
            continue;
        const QString problem = ValueCheck::valueTextProblem(n, it->text);
        if (!problem.isEmpty())
            found << UnsendableValue{n, it->line, it->text, problem};
    }
    return found;
}

} // namespace LeesIniFile

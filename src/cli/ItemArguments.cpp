#include "ItemArguments.h"

#include "report/SettingsReport.h"

#include "model/Conversions.h"
#include "model/Diverse.h"
#include "model/Items.h"
#include "model/ScreenDefinition.h"
#include "model/ValueCheck.h"

#include <limits>

namespace ItemArguments {
namespace {

constexpr int kMaxCharValue = 255;
constexpr int kMaxIntValue = 32767;

// Digits with an optional minus sign, nothing else; blanks around are allowed.
std::optional<qlonglong> wholeNumber(const QString &text)
{
    const QString t = text.trimmed();
    const qsizetype start = t.startsWith(u'-') ? 1 : 0;
    if (t.size() == start)
        return std::nullopt;
    for (qsizetype i = start; i < t.size(); ++i) {
        if (t.at(i) < u'0' || t.at(i) > u'9')
            return std::nullopt;
    }
    bool ok = false;
    const qlonglong v = t.toLongLong(&ok);
    // A run of digits too long for 64 bits is still a number, and far out of range.
    if (!ok)
        return start ? std::numeric_limits<qlonglong>::min() : std::numeric_limits<qlonglong>::max();
    return v;
}

std::optional<Value> numberIn(int n, const QString &text, qlonglong highest, const QString &what, QString *error)
{
    const auto v = wholeNumber(text);
    if (!v || *v < 0 || *v > highest) {
        *error = QStringLiteral("item %1 takes %2 0-%3, not \"%4\"").arg(n).arg(what).arg(highest).arg(text);
        return std::nullopt;
    }
    return Values::integer(int(*v));
}

} // namespace

std::optional<int> parseItem(const QString &text, QString *error)
{
    const auto v = wholeNumber(text);
    if (!v) {
        *error = QStringLiteral("\"%1\" is not an item number").arg(text);
        return std::nullopt;
    }
    if (*v < 0 || *v >= Items::kItemCount) {
        *error = QStringLiteral("item %1 is outside 0-%2").arg(text.trimmed()).arg(Items::kItemCount - 1);
        return std::nullopt;
    }
    return int(*v);
}

std::optional<Value> parseValue(int n, const QString &text, QString *error)
{
    std::optional<Value> value;
    switch (Items::kindOf(n)) {
    case Items::Kind::Char: {
        const QStringList choices = ScreenDefinition::choiceList(n);
        if (choices.isEmpty()) {
            value = numberIn(n, text, kMaxCharValue, QStringLiteral("a number"), error);
            break;
        }
        const auto v = wholeNumber(text);
        if (!v || *v < 0 || *v >= choices.size()) {
            *error = QStringLiteral("item %1 has no list position \"%2\" (0 \"%3\" to %4 \"%5\")")
                         .arg(n)
                         .arg(text, choices.first())
                         .arg(choices.size() - 1)
                         .arg(choices.last());
            return std::nullopt;
        }
        value = Values::integer(int(*v));
        break;
    }
    case Items::Kind::Int:
        value = numberIn(n, text, kMaxIntValue, QStringLiteral("a whole number"), error);
        break;
    case Items::Kind::Tekst:
        value = Values::text(text);
        break;
    case Items::Kind::None:
        *error = QStringLiteral("item %1 is outside 0-%2").arg(n).arg(Items::kItemCount - 1);
        return std::nullopt;
    }
    if (!value)
        return std::nullopt;
    // Last, the check a settings file's values get: a control byte (a line
    // break, the frame's RS or US) or a character the line cannot carry.
    if (const QString problem = ValueCheck::valueTextProblem(n, text); !problem.isEmpty()) {
        *error = QStringLiteral("item %1 cannot carry \"%2\": %3").arg(n).arg(Diverse::visibleText(text), problem);
        return std::nullopt;
    }
    return value;
}

bool isReadable(int n)
{
    // The engine's own answer, so that a write this tool calls verifiable is one the engine reads back.
    return Conversions::isReadable(n);
}

QString valueText(int n, const Value &value)
{
    return SettingsReport::valueText(n, value);
}

QString record(int n, const QString &valueText)
{
    return QString::number(n) + QStringLiteral("    ->") + valueText;
}

} // namespace ItemArguments

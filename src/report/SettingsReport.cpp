#include "SettingsReport.h"

#include "binding/HeadlessItemControls.h"
#include "binding/ModUnitUpdate.h"
#include "binding/Startup.h"
#include "model/Items.h"
#include "model/ScreenDefinition.h"
#include "model/Stores.h"

#include <QJsonDocument>
#include <QJsonValue>

namespace SettingsReport {

const char kJsonHelp[] = R"(
JSON (--json): one document on standard output, UTF-8, of this shape:
  read, read-all, show:
    {"settings": [SETTING, ...]}
  diff:
    {"first": "FILE1", "second": "FILE2" or "unit",
     "differences": [{"item": N, "legend": "...", "control": true|false,
                      "first": SETTING, "second": SETTING}, ...]}
  commission, write-all, write, whatever the ending:
    {"changed": [{"item": N, "legend": "...", "before": SETTING (commission
                  only), "after": SETTING}, ...] (each setting the unit took),
     "result": "succeeded", "failed", "cancelled" or "not started",
     "outcome": the last line's words, "backup": the backup's path or ""}
  SETTING:
    {"item": N, "legend": "..." ("" without a control), "control": true|false,
     "value": a whole number, or a string for items 150-249,
     "choice": the chosen entry of a choice list ("" for none), else null}
  read lists the items asked for, read-all and show every item 0-249, in
  number order; fields are only ever added, never renamed or removed.
)";

QString Setting::shown() const
{
    if (hasChoice)
        return choice.isEmpty() ? QStringLiteral("(nothing chosen)") : choice;
    if (text)
        return u'"' + value + u'"';
    return value;
}

Setting setting(Stores &stores, const ItemControls &controls, int n)
{
    Setting s;
    s.item = n;
    s.text = Items::kindOf(n) == Items::Kind::Tekst;
    if (ScreenDefinition::hasCombo(n))
        s.control = controls.comboVisible(n);
    else
        s.control = ScreenDefinition::hasControl(n) && controls.textVisible(n);
    if (s.control) {
        ModUnitUpdate::TakeValue(stores, controls, n);
        s.legend = controls.legendText(n).trimmed();
        if (ScreenDefinition::hasCombo(n) && !ScreenDefinition::choiceList(n).isEmpty()) {
            s.hasChoice = true;
            s.choice = controls.comboText(n);
        }
    }
    s.value = valueText(n, stores.workingValues[n]);
    return s;
}

QList<Setting> allSettings(Stores &stores, const ItemControls &controls)
{
    QList<Setting> settings;
    for (int n = 0; n < Items::kItemCount; ++n)
        settings << setting(stores, controls, n);
    return settings;
}

QList<Setting> fromValues(const Stores::ValueStore &values, const QList<int> &items)
{
    HeadlessItemControls controls;
    Startup::FillChoiceLists(controls);
    Stores stores;
    for (int n : items) {
        stores.workingValues[n] = values[n];
        ModUnitUpdate::ShowValue(stores, controls, n);
    }
    return allSettings(stores, controls);
}

QString valueText(int n, const Value &value)
{
    if (Items::kindOf(n) == Items::Kind::Tekst)
        return Values::textOf(value);
    return QString::number(qlonglong(Values::roundHalfEven(Values::numberOf(value))));
}

QStringList showLines(const QList<Setting> &settings)
{
    QStringList lines;
    QStringList others;
    for (const Setting &s : settings) {
        if (s.control)
            lines << QStringLiteral("%1  %2 %3").arg(s.item).arg(s.legend, s.shown());
        else
            others << QStringLiteral("%1  %2").arg(s.item).arg(s.shown());
    }
    if (!others.isEmpty())
        lines << QString() << QStringLiteral("Items without a control:") << others;
    return lines;
}

QList<Difference> differences(const QList<Setting> &first, const QList<Setting> &second, const QList<int> &items)
{
    QList<Difference> found;
    for (int n : items) {
        if (n < first.size() && n < second.size() && !(first.at(n) == second.at(n)))
            found.append({first.at(n), second.at(n)});
    }
    return found;
}

QStringList diffLines(const QList<Difference> &differences)
{
    QStringList lines;
    for (const Difference &d : differences) {
        const QString name = d.first.control ? d.first.legend : QStringLiteral("(no control)");
        lines << QStringLiteral("%1  %2").arg(d.first.item).arg(name) << QStringLiteral("< ") + d.first.shown()
              << QStringLiteral("> ") + d.second.shown();
    }
    return lines;
}

QJsonObject toJson(const Setting &s)
{
    QJsonObject o;
    o.insert(QStringLiteral("item"), s.item);
    o.insert(QStringLiteral("legend"), s.legend);
    o.insert(QStringLiteral("control"), s.control);
    o.insert(QStringLiteral("value"), s.text ? QJsonValue(s.value) : QJsonValue(s.value.toLongLong()));
    o.insert(QStringLiteral("choice"), s.hasChoice ? QJsonValue(s.choice) : QJsonValue(QJsonValue::Null));
    return o;
}

QJsonArray toJson(const QList<Setting> &settings)
{
    QJsonArray array;
    for (const Setting &s : settings)
        array.append(toJson(s));
    return array;
}

QJsonObject toJson(const Difference &d)
{
    QJsonObject o;
    o.insert(QStringLiteral("item"), d.first.item);
    o.insert(QStringLiteral("legend"), d.first.legend);
    o.insert(QStringLiteral("control"), d.first.control);
    o.insert(QStringLiteral("first"), toJson(d.first));
    o.insert(QStringLiteral("second"), toJson(d.second));
    return o;
}

QByteArray document(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}

} // namespace SettingsReport

#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include "model/Stores.h"

class ItemControls;

// Settings as a person reads them: what the window shows for each item, as
// lines of text and as a JSON document. The values come from stores shown on
// item controls, as after "Read from file" or a read from the unit.
namespace SettingsReport {

struct Setting
{
    int item = 0;
    bool control = false;   // the window shows the item
    QString legend;         // the control's legend; empty without a control
    bool text = false;      // a TEKST item: value is a text, else a whole number
    QString value;          // as a settings file holds it
    bool hasChoice = false; // a choice list: choice is the chosen entry ("" for none)
    QString choice;

    // What is compared, and what is shown: the choice text for a choice list,
    // a text quoted, a number as it is.
    QString shown() const;
    bool operator==(const Setting &other) const { return value == other.value; }
};

// Item n as a settings file would hold it now: what its control shows, for an
// item with a visible one, else its working value.
Setting setting(Stores &stores, const ItemControls &controls, int n);
// Items 0-249.
QList<Setting> allSettings(Stores &stores, const ItemControls &controls);

// Items 0-249 as the window would show values (working values in a fresh
// store) on fresh controls: the others empty or 0, as after a load.
QList<Setting> fromValues(const Stores::ValueStore &values, const QList<int> &items);

// A value as a settings file holds it: CHAR and INT items as whole numbers,
// TEKST items as their text.
QString valueText(int n, const Value &value);

// show: one line for each item with a control, "5  ESPA out max address
// length: Address length: 4 digits"; then the others under a heading, by number.
QStringList showLines(const QList<Setting> &settings);

struct Difference
{
    Setting first;
    Setting second;
};
// The items among `items` whose values differ (both lists by item number 0-249).
QList<Difference> differences(const QList<Setting> &first, const QList<Setting> &second, const QList<int> &items);
// Three lines for each: "N  LEGEND" (or "N  (no control)"), "< FIRST", "> SECOND".
QStringList diffLines(const QList<Difference> &differences);

// JSON: {"item": 5, "legend": "...", "control": true, "value": 4, "choice": "..."}.
QJsonObject toJson(const Setting &setting);
QJsonArray toJson(const QList<Setting> &settings);
QJsonObject toJson(const Difference &difference);
// One document, indented, UTF-8, ending in a line end.
QByteArray document(const QJsonObject &object);

// The shape of the JSON documents, for --help.
extern const char kJsonHelp[];

} // namespace SettingsReport

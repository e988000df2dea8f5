#include "testsupport/TestItemControls.h"
#include "binding/ModUnitUpdate.h"
#include "binding/ModuleToUnit.h"
#include "binding/Startup.h"
#include "model/DescribeValue.h"
#include "model/Items.h"
#include "model/ScreenDefinition.h"
#include "model/Stores.h"

#include <QtTest>

using ModUnitUpdate::ShowValue;
using ModUnitUpdate::TakeValue;
using Colour = ItemControls::Colour;
using Values::integer, Values::number, Values::text;

namespace {

// How a row prepares the item's control before the operation.
enum class Setup { Visible, Hidden, EmptyList };

// The control as the operator sees it: a combo box's list position, a box's text.
QString shown(const TestItemControls &c, int n)
{
    return ScreenDefinition::hasCombo(n) ? QString::number(c.comboIndex(n)) : c.text(n);
}

// Puts content on the control: a list position for a combo box, else the text.
void put(TestItemControls &c, int n, const QString &content)
{
    if (ScreenDefinition::hasCombo(n))
        QVERIFY(c.setComboIndex(n, content.toInt()));
    else
        c.setText(n, content);
}

void prepare(TestItemControls &c, int n, Setup setup)
{
    Startup::FillChoiceLists(c);
    if (setup == Setup::Hidden) {
        c.setComboVisible(n, false);
        c.setTextVisible(n, false);
    } else if (setup == Setup::EmptyList) {
        c.clearComboList(n);
    }
}

} // namespace

Q_DECLARE_METATYPE(Setup)
Q_DECLARE_METATYPE(Colour)

class TestBinding : public QObject
{
    Q_OBJECT

private slots:
    void showValue_data();
    void showValue();
    void takeValue_data();
    void takeValue();
    void fileValuesSurviveShowAndTake();
    void markValueColours_data();
    void markValueColours();
    void clearComboSelections();
};

void TestBinding::showValue_data()
{
    QTest::addColumn<int>("item");
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<Value>("working");
    QTest::addColumn<QString>("before"); // on the control beforehand
    QTest::addColumn<QString>("after");  // on the control afterwards
    QTest::addColumn<QString>("workingAfter");
    const auto V = Setup::Visible;
    const auto H = Setup::Hidden;

    // List items: the position, or 0 above the display limit; -1 chooses nothing.
    QTest::newRow("item 0 int -1") << 0 << V << integer(-1) << "2" << "-1" << "int -1";
    QTest::newRow("item 0 int 3") << 0 << V << integer(3) << "1" << "3" << "int 3";
    QTest::newRow("item 0 int 4") << 0 << V << integer(4) << "1" << "0" << "int 4";
    QTest::newRow("item 7 text 150") << 7 << V << text("150") << "1" << "150" << "text '150'";
    QTest::newRow("item 7 text 151") << 7 << V << text("151") << "1" << "0" << "text '151'";
    QTest::newRow("item 34 int 2") << 34 << V << integer(2) << "1" << "2" << "int 2";
    QTest::newRow("item 34 int 3") << 34 << V << integer(3) << "1" << "0" << "int 3";
    QTest::newRow("item 5 int 10") << 5 << V << integer(10) << "1" << "10" << "int 10";
    QTest::newRow("item 5 int 11") << 5 << V << integer(11) << "1" << "0" << "int 11";
    QTest::newRow("item 14 int 59") << 14 << V << integer(59) << "1" << "59" << "int 59";
    QTest::newRow("item 14 text 60") << 14 << V << text("60") << "1" << "0" << "text '60'";
    QTest::newRow("item 13 double 1.5") << 13 << V << number(1.5) << "0" << "2" << "double 1.5";
    QTest::newRow("item 35 text blank 1") << 35 << V << text(" 1") << "0" << "1" << "text ' 1'";
    QTest::newRow("item 0 text abc") << 0 << V << text("abc") << "2" << "0" << "text 'abc'";
    QTest::newRow("item 0 empty") << 0 << V << Value() << "2" << "0" << "empty";
    // Hex-digit items show their digit as the list position.
    QTest::newRow("item 41 int 10") << 41 << V << integer(10) << "1" << "10" << "int 10";
    QTest::newRow("item 78 text 15") << 78 << V << text("15") << "1" << "15" << "text '15'";
    QTest::newRow("item 41 int 16") << 41 << V << integer(16) << "1" << "0" << "int 16";
    QTest::newRow("item 40 int -1") << 40 << V << integer(-1) << "1" << "-1" << "int -1";
    // Positions the combo box cannot take: the working value becomes 0.
    QTest::newRow("item 0 int -2") << 0 << V << integer(-2) << "2" << "0" << "int 0";
    QTest::newRow("item 0 double 1e6") << 0 << V << number(1e6) << "2" << "0" << "int 0";
    QTest::newRow("item 0 empty list") << 0 << Setup::EmptyList << integer(2) << "-1" << "-1" << "int 0";
    QTest::newRow("item 0 hidden") << 0 << H << integer(3) << "1" << "1" << "int 3";
    QTest::newRow("item 1 hidden by fill") << 1 << V << integer(-7) << "-1" << "-1" << "int -7";

    // INT boxes: positive values only; a malformed text becomes 0.
    QTest::newRow("item 100 int 0") << 100 << V << integer(0) << "old" << "" << "int 0";
    QTest::newRow("item 100 int -1") << 100 << V << integer(-1) << "old" << "" << "int -1";
    QTest::newRow("item 100 text empty") << 100 << V << text("") << "old" << "" << "int 0";
    QTest::newRow("item 100 text 12x") << 100 << V << text("12x") << "old" << "" << "int 0";
    QTest::newRow("item 100 text blank 4660") << 100 << V << text(" 4660") << "" << "4660" << "text ' 4660'";
    QTest::newRow("item 143 double 12.5") << 143 << V << number(12.5) << "" << "12" << "double 12.5";
    QTest::newRow("item 105 double 40000") << 105 << V << number(40000) << "old" << "" << "int 0";
    QTest::newRow("item 100 empty") << 100 << V << Value() << "old" << "" << "empty";
    QTest::newRow("item 120 hidden") << 120 << H << text("12x") << "old" << "old" << "text '12x'";

    // TEKST boxes: the text form.
    QTest::newRow("item 150 int -1") << 150 << V << integer(-1) << "old" << "-1" << "int -1";
    QTest::newRow("item 232 text abc") << 232 << V << text("abc") << "" << "abc" << "text 'abc'";
    QTest::newRow("item 200 double 2.5") << 200 << V << number(2.5) << "" << "2.5" << "double 2.5";
    QTest::newRow("item 150 empty") << 150 << V << Value() << "old" << "" << "empty";
    QTest::newRow("item 155 hidden") << 155 << H << text("new") << "old" << "old" << "text 'new'";

    // No control: nothing changes.
    for (int item : {79, 99, 144, 149, 233, 249, 250})
        QTest::newRow(qPrintable(QStringLiteral("item %1 no control").arg(item)))
            << item << V << text("12x") << "" << "" << "text '12x'";
}

void TestBinding::showValue()
{
    QFETCH(int, item);
    QFETCH(Setup, setup);
    QFETCH(Value, working);
    QFETCH(QString, before);
    QFETCH(QString, after);
    QFETCH(QString, workingAfter);
    TestItemControls c;
    prepare(c, item, setup);
    if (!before.isEmpty())
        put(c, item, before);
    Stores s;
    s.workingValues[item] = working;
    ShowValue(s, c, item);
    QCOMPARE(shown(c, item), after);
    QCOMPARE(describe(s.workingValues[item]), workingAfter);
}

void TestBinding::takeValue_data()
{
    QTest::addColumn<int>("item");
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<QString>("content");
    QTest::addColumn<QString>("workingAfter");
    const auto V = Setup::Visible;
    const auto H = Setup::Hidden;
    QTest::newRow("item 0 position 2") << 0 << V << "2" << "int 2";
    QTest::newRow("item 0 nothing chosen") << 0 << V << "-1" << "int -1";
    QTest::newRow("item 7 position 150") << 7 << V << "150" << "int 150";
    QTest::newRow("item 41 position 10") << 41 << V << "10" << "int 10";
    QTest::newRow("item 0 hidden") << 0 << H << "2" << "int 0";
    QTest::newRow("item 1 hidden by fill") << 1 << V << "" << "int 0";
    QTest::newRow("item 100 12abc") << 100 << V << "12abc" << "double 12";
    QTest::newRow("item 100 empty") << 100 << V << "" << "double 0";
    QTest::newRow("item 143 1 2 3") << 143 << V << "1 2 3" << "double 123";
    QTest::newRow("item 105 2.5") << 105 << V << "2.5" << "double 2.5";
    QTest::newRow("item 100 hidden") << 100 << H << "12" << "int 0";
    QTest::newRow("item 150 abc") << 150 << V << "abc" << "text 'abc'";
    QTest::newRow("item 232 blank") << 232 << V << " " << "text ' '";
    QTest::newRow("item 150 hidden") << 150 << H << "abc" << "text ''";
    for (int item : {79, 144, 233, 250})
        QTest::newRow(qPrintable(QStringLiteral("item %1 no control").arg(item)))
            << item << V << "" << "text 'keep'";
}

void TestBinding::takeValue()
{
    QFETCH(int, item);
    QFETCH(Setup, setup);
    QFETCH(QString, content);
    QFETCH(QString, workingAfter);
    TestItemControls c;
    prepare(c, item, setup);
    if (!content.isEmpty() || !ScreenDefinition::hasCombo(item))
        put(c, item, content); // a hidden combo box still holds a position
    Stores s;
    s.workingValues[item] = text("keep");
    TakeValue(s, c, item);
    QCOMPARE(describe(s.workingValues[item]), workingAfter);
}

// Values of a settings file, shown on the screen and taken again, come back as
// they were: list positions, bleep codes, numbers and texts.
void TestBinding::fileValuesSurviveShowAndTake()
{
    TestItemControls c;
    Startup::FillChoiceLists(c);
    Stores s;
    for (int n : Items::kBulkItems)
        s.fileValues[n] = text(QString::number(ScreenDefinition::displayLimit(n)));
    for (int n = 40; n <= 78; ++n)
        s.fileValues[n] = text(QString::number(n % 16));
    for (int n = 100; n <= 143; ++n)
        s.fileValues[n] = text(QString::number(n * 100));
    for (int n = 150; n <= 232; ++n)
        s.fileValues[n] = text(QStringLiteral("t%1").arg(n));
    s.FileToWorkingValues();
    ModUnitUpdate::ShowAllValues(s, c);
    s.ResetWorkingValues();
    s.workingValues[250] = text("spare");
    ModUnitUpdate::TakeAllValues(s, c);
    for (int n = 0; n < Items::kItemCount; ++n) {
        const Value &was = s.fileValues[n];
        const Value &now = s.workingValues[n];
        if (Values::isEmpty(was))
            continue;
        if (n >= 150)
            QCOMPARE(Values::textOf(now), Values::textOf(was));
        else
            QCOMPARE(Values::numberOf(now), Values::numberOf(was));
    }
    QCOMPARE(describe(s.workingValues[1]), QStringLiteral("int 0")); // hidden combo box
    QCOMPARE(describe(s.workingValues[250]), QStringLiteral("text 'spare'"));
    QCOMPARE(c.comboText(5), QStringLiteral("Address length: 10 digits"));
}

void TestBinding::markValueColours_data()
{
    QTest::addColumn<int>("item");
    QTest::addColumn<QString>("content");
    QTest::addColumn<Value>("unit");
    QTest::addColumn<int>("request");
    QTest::addColumn<Colour>("colour");
    const auto M = Colour::MatchesUnit;
    const auto D = Colour::DiffersFromUnit;
    QTest::newRow("item 0 -1 unit int -1") << 0 << "-1" << integer(-1) << 0 << M;
    QTest::newRow("item 0 2 unit text 2") << 0 << "2" << text("2") << 0 << M;
    QTest::newRow("item 0 2 unit double 2") << 0 << "2" << number(2) << 0 << M;
    QTest::newRow("item 0 2 unit int 3") << 0 << "2" << integer(3) << 0 << D;
    QTest::newRow("item 0 -1 unit text 0") << 0 << "-1" << text("0") << 0 << D;
    QTest::newRow("item 0 0 unit text abc") << 0 << "0" << text("abc") << 0 << D;
    QTest::newRow("item 41 5 unit text 5") << 41 << "5" << text("5") << 0 << M;
    QTest::newRow("item 1 hidden unit int -1") << 1 << "" << integer(-1) << 0 << M;
    QTest::newRow("item 100 4660 unit blank 4660") << 100 << "4660" << text(" 4660") << 0 << M;
    QTest::newRow("item 100 12abc unit int 12") << 100 << "12abc" << integer(12) << 0 << M;
    QTest::newRow("item 100 empty unit blank 0") << 100 << "" << text(" 0") << 0 << M;
    QTest::newRow("item 100 empty unit int -1") << 100 << "" << integer(-1) << 0 << D;
    QTest::newRow("item 143 0 unit text x") << 143 << "0" << text("x") << 0 << D;
    QTest::newRow("item 150 -1 unit int -1") << 150 << "-1" << integer(-1) << 0 << M;
    QTest::newRow("item 150 abc unit ABC") << 150 << "abc" << text("ABC") << 0 << D;
    QTest::newRow("item 232 empty unit empty text") << 232 << "" << text("") << 0 << M;
    QTest::newRow("item 200 2.5 unit double 2.5") << 200 << "2.5" << number(2.5) << 0 << M;
    // A pending request keeps the colour the control had (the opposite here).
    QTest::newRow("item 0 read pending equal") << 0 << "2" << text("2") << 1 << D;
    QTest::newRow("item 100 write pending unequal") << 100 << "1" << text(" 2") << 10 << M;
    QTest::newRow("item 150 write pending equal") << 150 << "a" << text("a") << 10 << D;
}

void TestBinding::markValueColours()
{
    QFETCH(int, item);
    QFETCH(QString, content);
    QFETCH(Value, unit);
    QFETCH(int, request);
    QFETCH(Colour, colour);
    TestItemControls c;
    Startup::FillChoiceLists(c);
    if (!content.isEmpty())
        put(c, item, content);
    Stores s;
    s.unitValues[item] = unit;
    s.itemRequest[item] = qint16(request);
    const Colour opposite = colour == Colour::MatchesUnit ? Colour::DiffersFromUnit : Colour::MatchesUnit;
    c.setColour(item, request ? colour : opposite);
    ModuleToUnit::MarkValueColours(s, c);
    QCOMPARE(c.colour(item), colour);
}

void TestBinding::clearComboSelections()
{
    TestItemControls c;
    Startup::FillChoiceLists(c);
    for (int n : {0, 1, 40, 78})
        c.setComboSelectionLength(n, 5);
    c.setComboIndex(40, 3);
    ModuleToUnit::ClearComboSelections(c);
    for (int n = 0; n <= ScreenDefinition::kLastComboItem; ++n)
        QCOMPARE(c.comboSelectionLength(n), 0);
    QCOMPARE(c.comboIndex(40), 3);
}

QTEST_APPLESS_MAIN(TestBinding)
#include "tst_binding.moc"

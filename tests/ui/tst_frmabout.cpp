#include "UiWorld.h"

#include "ui/FrmAbout.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>

class TestFrmAbout : public QObject
{
    Q_OBJECT

private slots:
    void showsVersionAndMaker();
    void logoDoubleClickStepsServiceMode_data();
    void logoDoubleClickStepsServiceMode();
    void closeUnloadsAndKeepsMode();
};

void TestFrmAbout::showsVersionAndMaker()
{
    UiWorld w;
    w.window->About_Click();
    FrmAbout *about = WindowProbe(*w.window).about();
    QVERIFY(about);
    QCOMPARE(about->windowTitle(), QStringLiteral("About"));
    const QString version = w.find<QLabel>(QStringLiteral("Label4"))->text();
    QVERIFY2(QRegularExpression(QStringLiteral("^Software version: [1-9]\\d*\\.(0|[1-9]\\d*)$")).match(version).hasMatch(),
             qPrintable(version));
    QVERIFY(w.find<QLabel>(QStringLiteral("LblMaker"))->text().contains(QStringLiteral("Kestrum")));
    QVERIFY(w.find<QLabel>(QStringLiteral("LblVisit"))->text().contains(QStringLiteral("www.kestrum.nl")));
}

void TestFrmAbout::logoDoubleClickStepsServiceMode_data()
{
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<QString>("target"); // the frame, or the logo picture in it; or a key on the frame
    QTest::addColumn<QList<int>>("modes"); // after each double-click

    QTest::newRow("normal, three clicks") << "" << "FrameLogo" << QList<int>{1, 2, 0};
    QTest::newRow("normal, on the picture") << "" << "Image1" << QList<int>{1, 2, 0, 1};
    QTest::newRow("/DEBUG") << "/DEBUG" << "FrameLogo" << QList<int>{0, 1, 2};
    QTest::newRow("/LOG") << "/LOG" << "FrameLogo" << QList<int>{2, 0};
    QTest::newRow("normal, Enter") << "" << "Enter" << QList<int>{1, 2, 0};
    QTest::newRow("/DEBUG, Space") << "/DEBUG" << "Space" << QList<int>{0, 1, 2};
    QTest::newRow("normal, keypad Enter") << "" << "keypad Enter" << QList<int>{1};
}

void TestFrmAbout::logoDoubleClickStepsServiceMode()
{
    QFETCH(QString, commandLine);
    QFETCH(QString, target);
    QFETCH(QList<int>, modes);
    UiWorld w(commandLine);
    w.window->About_Click();
    const QHash<QString, std::pair<Qt::Key, Qt::KeyboardModifiers>> keys = {
        {"Enter", {Qt::Key_Return, Qt::NoModifier}},
        {"Space", {Qt::Key_Space, Qt::NoModifier}},
        {"keypad Enter", {Qt::Key_Enter, Qt::KeypadModifier}},
    };
    const bool byKey = keys.contains(target);
    auto *clicked = w.find<QWidget>(byKey ? QStringLiteral("FrameLogo") : target);
    QVERIFY(clicked);
    // The frame is a stop of the tab key.
    QVERIFY(w.find<QWidget>(QStringLiteral("FrameLogo"))->focusPolicy() & Qt::TabFocus);
    for (const int mode : modes) {
        if (byKey)
            QTest::keyClick(clicked, keys.value(target).first, keys.value(target).second);
        else
            QTest::mouseDClick(clicked, Qt::LeftButton);
        QCOMPARE(w.engine().DebugMode(), mode);
        const bool service = mode == 2;
        QCOMPARE(!w.find<QGroupBox>(QStringLiteral("FrameCmdButtonsAlgemeen"))->isHidden(), service);
        QCOMPARE(!w.find<QGroupBox>(QStringLiteral("FrameCmdButtonsPaging"))->isHidden(), service);
        QCOMPARE(w.find<QPushButton>(QStringLiteral("CmdInstellingenOpslaan"))->isEnabled(), service);
    }
}

void TestFrmAbout::closeUnloadsAndKeepsMode()
{
    UiWorld w;
    w.window->About_Click();
    QPointer<FrmAbout> about = WindowProbe(*w.window).about();
    QTest::mouseDClick(w.find<QWidget>(QStringLiteral("FrameLogo")), Qt::LeftButton);
    QTest::mouseDClick(w.find<QWidget>(QStringLiteral("FrameLogo")), Qt::LeftButton);
    w.click(QStringLiteral("CmdSluit"));
    QVERIFY(!about->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(about.isNull());
    QCOMPARE(w.engine().DebugMode(), 2);
    // Loaded anew, the box starts from the mode the program is in.
    w.window->About_Click();
    QTest::mouseDClick(w.find<QWidget>(QStringLiteral("FrameLogo")), Qt::LeftButton);
    QCOMPARE(w.engine().DebugMode(), 0);
}

QTEST_MAIN(TestFrmAbout)
#include "tst_frmabout.moc"

#pragma once

#include "testsupport/EngineProbe.h"
#include "WindowProbe.h"
#include "testsupport/ScriptedPort.h"
#include "testsupport/RecordingView.h"
#include "protocol/Session.h"
#include "ui/FrmHoofdscherm.h"
#include "ui/QtItemControls.h"
#include "link/NetworkAddress.h"

#include <QAbstractButton>
#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

// Text as shown, without the mnemonic markers.
inline QString plain(QString text)
{
    return text.remove(u'&');
}

inline void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

inline QByteArray setupFile(int compoort, int logfile, const QString &setPath = QString(), int unitType = 3)
{
    return "0        Compoort ->" + QByteArray::number(compoort) + "\r\n1      Logfile ->"
        + QByteArray::number(logfile) + "\r\n2       SetPath ->" + setPath.toLatin1() + "\r\n3       UnitType ->"
        + QByteArray::number(unitType) + "\r\n";
}

// A message box as one line, for comparing.
inline QString box(const QString &text, const QString &title, OperatorView::Icon icon, OperatorView::Buttons buttons)
{
    const char *iconName = icon == OperatorView::Icon::Critical ? "critical" : icon == OperatorView::Icon::None ? "no icon" : "info";
    return QStringLiteral("[%1] %2 (%3, %4)")
        .arg(title, text, QLatin1String(iconName),
             buttons == OperatorView::Buttons::OkCancel ? QStringLiteral("OK/Cancel") : QStringLiteral("OK"));
}

// Message boxes as a modal box shows them: a nested event loop runs with the
// window's periodic timers live until the engine has ticked openTicks times
// (bounded in time as well), then the preset answer comes. whileOpen looks
// at the world as the box is about to be answered.
class ModalAnswers : public RecordingView
{
public:
    FrmHoofdscherm *window = nullptr;
    QList<QTimer *> timers;
    int openTicks = 4;
    std::function<void()> whileOpen;

    Answer messageBox(const QString &text, const QString &title, Icon icon, Buttons buttons) override
    {
        if (window) {
            QList<bool> wasActive;
            for (QTimer *timer : std::as_const(timers)) {
                wasActive << timer->isActive();
                timer->start();
            }
            const Interface &engine = engineOf();
            const quint64 until = engine.tickCount() + quint64(openTicks);
            QEventLoop loop;
            QTimer poll;
            QElapsedTimer bound;
            bound.start();
            QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
                if (engine.tickCount() >= until || bound.hasExpired(10000))
                    loop.quit();
            });
            poll.start(5);
            loop.exec();
            for (qsizetype i = 0; i < timers.size(); ++i) {
                if (!wasActive.at(i))
                    timers.at(i)->stop();
            }
            if (whileOpen)
                whileOpen();
        }
        return RecordingView::messageBox(text, title, icon, buttons);
    }

private:
    const Interface &engineOf() const { return WindowProbe(*window).session().engine; }
};

// The main window on a scripted port in a temporary home folder, with a
// fixed clock; message boxes, file dialogs and beeps go to `answers`. The
// timers are stopped after start-up, so a test steps them by hand.
struct UiWorld
{
    QTemporaryDir home;
    ScriptedPort port;
    ModalAnswers answers;
    std::unique_ptr<FrmHoofdscherm> window;
    QList<bool> timersActiveAfterStart;
    QStringList serialDevices; // the system's serial ports as the window's device watch lists them
    int serialListings = 0;
    QStringList portDevices; // what the window pointed the port at, in order

    // prepare runs before start-up, with the home folder in place.
    explicit UiWorld(const QString &commandLine = QString(), const std::function<void(UiWorld &)> &prepare = {},
                     OperatorView *customAnswers = nullptr)
    {
        if (prepare)
            prepare(*this);
        FrmHoofdscherm::Options options;
        options.homeFolder = home.path();
        options.commandLine = commandLine;
        options.clock = [] { return QDateTime(QDate(2026, 12, 7), QTime(14, 5, 9)); };
        options.serialDevices = [this] {
            ++serialListings;
            return serialDevices;
        };
        // As the program's port takes a device: a network address that does
        // not parse is refused, anything else is reached by every number.
        options.setPortDevice = [this](const QString &device, QString *error) {
            if (NetworkAddress::isNetworkText(device) && !NetworkAddress::parse(device, error))
                return false;
            portDevices << device;
            port.setDeviceForEveryNumber(device);
            return true;
        };
        window = std::make_unique<FrmHoofdscherm>(options, port, customAnswers ? customAnswers : &answers);
        for (QTimer *timer : timers())
            timersActiveAfterStart << timer->isActive();
        stopTimers();
        answers.window = window.get();
        answers.timers = timers().mid(0, 3);
    }

    QString path(const QString &name) const { return QDir(home.path()).filePath(name); }
    Session &session() { return WindowProbe(*window).session(); }
    Interface &engine() { return session().engine; }
    Stores &stores() { return session().stores; }
    QtItemControls &controls() { return WindowProbe(*window).itemControls(); }

    template<typename T>
    T *find(const QString &name) const
    {
        T *widget = window->findChild<T *>(name);
        if (!widget)
            qWarning("no child named %s", qPrintable(name));
        return widget;
    }

    void click(const QString &buttonName)
    {
        QAbstractButton *button = find<QAbstractButton>(buttonName);
        QVERIFY(button);
        button->click();
    }

    QList<QTimer *> timers() const
    {
        return {find<QTimer>(QStringLiteral("TmrAfhandel")), find<QTimer>(QStringLiteral("LedTimer")),
                find<QTimer>(QStringLiteral("TmrUpdateVensters")), find<QTimer>(QStringLiteral("TimerStartRefresh"))};
    }

    void stopTimers()
    {
        for (QTimer *timer : timers())
            timer->stop();
    }

    // Every message box shown so far, one a line.
    QString boxes() const
    {
        QStringList shown;
        for (const RecordingView::Message &m : answers.messages())
            shown << box(m.text, m.title, m.icon, m.buttons);
        return shown.join(u'\n');
    }

    QString logWindowLine(int i) const { return find<QLineEdit>(QStringLiteral("Text2_%1").arg(i))->text(); }
};

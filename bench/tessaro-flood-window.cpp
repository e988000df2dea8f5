// tessaro-flood-window: the window on a serial device that floods it, held at
// the engine's abort box. Clicks "read all", waits for the modal box that ends
// the failed reading, keeps it open for the given seconds (a nested event loop
// in which nothing reads the port) and prints the peak resident size and the
// bytes the port dropped. Logs into HOME (Log/), or a temporary folder without
// it. Run by scripts/flood.sh; prints figures, asserts nothing.
//
//   tessaro-flood-window DEVICE [SECONDS [HOME]]

#include "link/SerialPort.h"
#include "ui/FrmHoofdscherm.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace {

qint64 statusKb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() < 2) {
        std::fprintf(stderr, "usage: tessaro-flood-window DEVICE [SECONDS [HOME]]\n");
        return 2;
    }
    const int seconds = arguments.value(2, QStringLiteral("60")).toInt();

    SerialPort port;
    port.setDeviceOverride(arguments.at(1));
    QTemporaryDir temporaryHome;
    FrmHoofdscherm::Options options;
    options.homeFolder = arguments.size() > 3 ? arguments.at(3) : temporaryHome.path();
    FrmHoofdscherm window(options, port);
    window.show();
    if (!port.isOpen()) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(arguments.at(1)));
        return 1;
    }

    QTimer::singleShot(500, &window, [&window] {
        window.findChild<QPushButton *>(QStringLiteral("CmdLeesAlles"))->click();
    });

    // Timers run in the box's own event loop too.
    QDeadlineTimer boxDeadline(QDeadlineTimer::Forever);
    QDeadlineTimer giveUp(120000);
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        const bool boxOpen = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()) != nullptr;
        if (boxOpen && boxDeadline.isForever()) {
            boxDeadline.setRemainingTime(qint64(seconds) * 1000);
            std::fprintf(stderr, "abort box open, RSS %lld kB\n", statusKb("VmRSS:"));
        }
        if (boxDeadline.hasExpired() || giveUp.hasExpired()) {
            std::printf("window, %s box open %d s: VmHWM %lld kB, VmRSS %lld kB, dropped %llu bytes\n",
                        boxOpen ? "abort" : "NO", seconds, statusKb("VmHWM:"), statusKb("VmRSS:"),
                        static_cast<unsigned long long>(port.discardedBytes()));
            std::fflush(stdout);
            std::_Exit(boxOpen ? 0 : 1);
        }
    });
    watch.start(250);
    return QApplication::exec();
}

#pragma once

#include <QDateTime>
#include <QString>

#include <functional>
#include <memory>

class QFile;

struct Setup;
namespace Diverse { class LogLines; }

// Every status and error line goes through WriteLogLine: time-stamped, added to
// the log window lines and appended to the daily file Log/DDMMYYYY.log in the
// home folder. The setup value Logfile switches both (0 = off).
//
// The day's file stays open while lines keep coming within one second of the
// clock (a flood costs one write per line, not an open and close); each line
// reaches the system at once, so a crash loses none. The file is closed when
// the day changes, when logging is off at a call, on a failed write and on
// destruction, and opened afresh each new second, so a file the operator
// moved away or deleted is written again.
//
// The day's file is not written through a link that leads out of the home
// folder or to a file of another owner, nor when it is a pipe or a device:
// such a file is refused, with one line in the window saying so, and the
// lines keep going to the window.
class Logfile
{
public:
    using Clock = std::function<QDateTime()>;

    Logfile(const Setup &setup, Diverse::LogLines &lines, const QString &homeFolder, Clock clock);
    ~Logfile();
    Logfile(const Logfile &) = delete;
    Logfile &operator=(const Logfile &) = delete;

    void WriteLogLine(const QString &text);

    // Called with the text (without its time stamp) of each line that reaches
    // the log, so a program without a log window can follow it.
    void setLineListener(std::function<void(const QString &text)> listener) { m_lineListener = std::move(listener); }

    QString logFolder() const;
    QString fileNameFor(const QDate &date) const;

    // Lets go of the day's file now (the next line opens it again).
    void closeFile();

private:
    bool openFile(const QString &path);
    QString refusalOf(const QString &path) const;
    // A line for the window (and the listener) only.
    void showOnly(const QDateTime &now, const QString &text);
    bool appendLine(const QString &path, const QDateTime &now, const QByteArray &bytes);

    const Setup &m_setup;
    Diverse::LogLines &m_lines;
    QString m_homeFolder;
    Clock m_clock;
    std::function<void(const QString &)> m_lineListener;

    // The open day's file: its name, the second it was opened in, whether it
    // can be read (to see how it ends), and its size after our last line.
    std::unique_ptr<QFile> m_file;
    QString m_openPath;
    QDateTime m_openedAt;
    bool m_canRead = false;
    qint64 m_endAfterLastLine = -1;
    // The file last refused, and why, so the refusal is told once; the
    // reason is told after the line that met it.
    QString m_refusedPath;
    QString m_refusalToTell;
};

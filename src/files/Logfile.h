#pragma once

#include <QDateTime>
#include <QString>

#include <functional>

struct Setup;
namespace Diverse { class LogLines; }

// Every status and error line goes through WriteLogLine: time-stamped, added to
// the log window lines and appended to the daily file Log/DDMMYYYY.log in the
// home folder. The setup value Logfile switches both (0 = off).
class Logfile
{
public:
    using Clock = std::function<QDateTime()>;

    Logfile(const Setup &setup, Diverse::LogLines &lines, const QString &homeFolder, Clock clock);

    void WriteLogLine(const QString &text);

    // Called with the text (without its time stamp) of each line that reaches
    // the log, so a program without a log window can follow it.
    void setLineListener(std::function<void(const QString &text)> listener) { m_lineListener = std::move(listener); }

    QString logFolder() const;
    QString fileNameFor(const QDate &date) const;

private:
    bool appendLine(const QString &path, const QByteArray &bytes);

    const Setup &m_setup;
    Diverse::LogLines &m_lines;
    QString m_homeFolder;
    Clock m_clock;
    std::function<void(const QString &)> m_lineListener;
};

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

    QString logFolder() const;
    QString fileNameFor(const QDate &date) const;

private:
    bool appendLine(const QString &path, const QByteArray &bytes);

    const Setup &m_setup;
    Diverse::LogLines &m_lines;
    QString m_homeFolder;
    Clock m_clock;
};

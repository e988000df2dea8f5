#pragma once

#include "UnitDifferences.h"

#include "files/LeesIniFile.h"
#include "files/Logfile.h"
#include "protocol/Outcome.h"

#include <QObject>
#include <QString>

class FileValueMarks;
class LinkStatusLine;
class QLabel;
class QMainWindow;
class QTabWidget;
class QWidget;
class QtItemControls;
class Session;

// What the window tells of the link and of the last finished command: the
// link status line beside the indicators, and the status bar with the last
// command and its time, the settings file last loaded or saved, and service
// mode. It also keeps what is known of the unit for the write-all details,
// and the marks of the controls that differ from the unit. Everything here
// follows events; nothing polls.
class StatusReport : public QObject
{
    Q_OBJECT

public:
    // The line goes into linkFrame's layout, before its closing stretch; the
    // rest into window's status bar. Listens to the session's link state and
    // engine from here on, so build it before the port is first opened.
    StatusReport(QMainWindow &window, QWidget &linkFrame, Session &session, const QtItemControls &controls,
                 Logfile::Clock clock);

    // Around the settings-file commands. Call beforeFileLoad before a file is
    // read: reading it makes the stores forget the unit's values. unsendable
    // names the file's values its controls could not show as they are.
    void beforeFileLoad();
    void fileLoaded(const QString &path, bool ok,
                    const QList<LeesIniFile::UnsendableValue> &unsendable = {});
    void fileSaved(const QString &path, bool ok);
    void setServiceMode(bool on);
    // A message of the window's own, e.g. why a command did nothing; detail,
    // when given, is a further line of its tooltip.
    void showMessage(const QString &text, const QString &detail = QString());

    // The values of the file last loaded that their controls could not show.
    FileValueMarks &fileMarks() const { return *m_marks; }

    // What is known of the unit's values.
    const UnitMemory &unitMemory() const { return m_unit; }

    // The details of the write-all confirmation.
    QString writeAllDetails() const;
    QString writeAllSummary() const;

    // Counts the settings that differ from the unit on these tabs' captions.
    void countDifferencesOn(const QList<QTabWidget *> &tabs);
    // The controls were coloured: their marks follow.
    void coloursMarked();

    LinkStatusLine *linkLine() const { return m_linkLine; }

private:
    void outcome(const Outcome &outcome);
    void showFile(const QString &path);

    Session &m_session;
    const QtItemControls &m_controls;
    Logfile::Clock m_clock;
    UnitMemory m_unit;
    UnitValueTips *m_tips = nullptr;
    FileValueMarks *m_marks = nullptr;
    LinkStatusLine *m_linkLine = nullptr;
    QLabel *m_message = nullptr;
    QLabel *m_file = nullptr;
    QLabel *m_serviceMode = nullptr;
};

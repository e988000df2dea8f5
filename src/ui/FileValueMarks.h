#pragma once

#include "files/LeesIniFile.h"

#include <QList>
#include <QObject>
#include <QString>

#include <map>

class QtItemControls;

// The values of the settings file last loaded that their controls could not
// show: the control shows another value, which a write would send in the
// file's place. Each keeps a red frame and a tooltip naming the file's value
// until the operator changes the control, a read puts the unit's value on it,
// or another file is loaded; while it is marked, no write sends it.
class FileValueMarks : public QObject
{
    Q_OBJECT

public:
    FileValueMarks(const QtItemControls &controls, QObject *parent = nullptr);

    // Replaces every mark with those of the file just loaded.
    void setAll(const QList<LeesIniFile::UnsendableValue> &values);
    void drop(int item);
    bool marked(int item) const { return m_marks.count(item) > 0; }
    // "the file holds 60, not one of its choices"; empty when not marked.
    QString tip(int item) const;
    // Why a write of these items must not start, e.g. "2 settings from the
    // file cannot be sent: item 5: the value is empty; item 14: 60 is not one
    // of its choices"; empty when none of them is marked.
    QString refusal(const QList<int> &items) const;

signals:
    // A mark came or went: its control's tooltip is to be made again.
    void changed(int item);

private:
    void showMark(int item, bool on);

    const QtItemControls &m_controls;
    std::map<int, LeesIniFile::UnsendableValue> m_marks;
};

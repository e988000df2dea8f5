#pragma once

#include "protocol/WireTrace.h"

#include <QWidget>

class OperatorView;
class QPlainTextEdit;

// The service page "Trace": one line per frame sent or received, newest at
// the bottom, the oldest dropped beyond kMaxLines; Copy puts all lines on the
// clipboard, Save writes them to a text file.
class TracePage : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kMaxLines = 3000;

    // Save asks view for the file; saveFolder is where its dialog starts.
    TracePage(OperatorView &view, const QString &saveFolder, QWidget *parent = nullptr);

    void addLine(const WireTrace::Line &line);
    // All lines shown, one a line.
    QString text() const;

public slots:
    void copy();
    void save();

private:
    OperatorView &m_view;
    QString m_saveFolder;
    QPlainTextEdit *m_lines;
};

#pragma once

#include "protocol/OperatorView.h"

#include <QString>

#include <cstdio>

// The operator view of the command-line tool: prints each line the engine
// completes in TxtProgress on a stream. On a terminal a one-line progress bar
// stays below the lines. Nobody is there to answer: a message box is taken as
// OK and a file dialog as cancelled; the test-call fields hold what the
// command line gave.
class ConsoleView : public OperatorView
{
public:
    explicit ConsoleView(std::FILE *stream);

    void appendProgress(const QString &piece) override;
    void clearProgress() override {}
    // The terminal's bar counts for itself (trackTransfer).
    void setProgressBar(const ProgressBar &) override {}
    Answer messageBox(const QString &, const QString &, Icon, Buttons) override { return Answer::Ok; }
    void beep() override {}
    std::optional<QString> chooseFile(bool, const QString &, const QString &, const QString &) override
    {
        return std::nullopt;
    }
    QString testPagerAddress() const override { return m_address; }
    QString testPagerDisplayInfo() const override { return m_displayInfo; }
    void setTestPagerAddress(const QString &address) { m_address = address; }
    void setTestPagerDisplayInfo(const QString &text) { m_displayInfo = text; }

    // The item transfers of this command, the whole of the terminal's bar
    // (0: no bar). The engine's own bar counts item numbers; this one counts
    // the command's transfers, each once, however often it is tried.
    void setTransferTotal(int total) { m_total = total; }
    // After each engine tick: the item transaction under way, if any.
    void trackTransfer(bool underWay, bool write, int item);

    // A line of the tool's own, between the progress lines.
    void note(const QString &line);
    // Prints a line that was begun but never ended, and removes the bar.
    void finish();
    // Whether some of the output was lost (the stream refused it).
    bool outputLost() const { return m_lost; }

private:
    void printLine(const QString &line);
    void drawBar();
    void eraseBar();
    void put(const QByteArray &bytes);

    QString m_address;
    QString m_displayInfo;
    std::FILE *m_stream;
    bool m_terminal;
    QString m_partial; // a progress line not yet ended
    int m_total = 0;
    int m_done = 0;              // transfers ended
    int m_currentItem = -1;      // the transfer begun last: its item, -1 for none
    bool m_currentWrite = false; // ... whether it writes
    bool m_currentEnded = true;
    int m_barWidth = 0; // characters the drawn bar takes; 0 when none is drawn
    bool m_lost = false;
};

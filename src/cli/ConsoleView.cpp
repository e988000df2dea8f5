#include "ConsoleView.h"

#include "Console.h"

#include <utility>

namespace {

constexpr int kBarCells = 40;
constexpr int kMinBarCells = 5;

} // namespace

ConsoleView::ConsoleView(std::FILE *stream)
    : m_stream(stream)
    , m_terminal(Console::isTerminal(stream))
{
}

void ConsoleView::appendProgress(const QString &piece)
{
    m_partial += piece;
    // CR LF ends a line; a lone LF too.
    for (qsizetype end = m_partial.indexOf(u'\n'); end >= 0; end = m_partial.indexOf(u'\n')) {
        QString line = m_partial.left(end);
        if (line.endsWith(u'\r'))
            line.chop(1);
        m_partial.remove(0, end + 1);
        printLine(line);
    }
}

void ConsoleView::trackTransfer(bool underWay, bool write, int item)
{
    const int doneBefore = m_done;
    const bool begunBefore = m_currentItem >= 0;
    if (underWay) {
        // A transfer tried again, or still going, is the same transfer.
        if (m_currentItem == item && m_currentWrite == write)
            return;
        if (!m_currentEnded)
            ++m_done;
        m_currentItem = item;
        m_currentWrite = write;
        m_currentEnded = false;
    } else if (!m_currentEnded) {
        m_currentEnded = true;
        ++m_done;
    }
    if (m_terminal && (m_done != doneBefore || !begunBefore)) {
        eraseBar();
        drawBar();
    }
}

void ConsoleView::note(const QString &line)
{
    printLine(line);
}

void ConsoleView::finish()
{
    // The bar is gone for good: what follows is the run's last word.
    m_total = 0;
    if (!m_partial.isEmpty())
        printLine(std::exchange(m_partial, QString()));
    eraseBar();
}

void ConsoleView::printLine(const QString &line)
{
    eraseBar();
    if (!Console::writeLine(m_stream, line))
        m_lost = true;
    drawBar();
}

// The bar narrows to the terminal's width, less one column: a line that
// fills the last column would wrap on some terminals, and the bar is redrawn
// in place. When even the count does not fit, nothing is drawn.
void ConsoleView::drawBar()
{
    if (!m_terminal || m_total <= 0 || m_currentItem < 0)
        return;
    const int span = m_total;
    const int value = qBound(0, m_done, m_total);
    const QString count = QStringLiteral("%1/%2").arg(value).arg(span);
    const int room = Console::terminalColumns(m_stream) - 1;
    const int cells = qMin(kBarCells, room - int(count.size()) - 3);
    QString text = count;
    if (cells >= kMinBarCells) {
        const int filled = value * cells / span;
        text = QStringLiteral("[%1%2] %3").arg(QString(filled, u'#'), QString(cells - filled, u'.'), count);
    } else if (count.size() > room) {
        return;
    }
    put('\r' + text.toLatin1());
    m_barWidth = int(text.size());
}

void ConsoleView::eraseBar()
{
    if (m_barWidth == 0)
        return;
    put('\r' + QByteArray(m_barWidth, ' ') + '\r');
    m_barWidth = 0;
}

void ConsoleView::put(const QByteArray &bytes)
{
    if (!Console::write(m_stream, bytes))
        m_lost = true;
}

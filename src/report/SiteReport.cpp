#include "SiteReport.h"

#include "files/Backups.h"
#include "files/TextFile.h"
#include "model/Cp1252.h"
#include "model/Diverse.h"
#include "model/Items.h"
#include "model/ScreenDefinition.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QFileInfo>
#include <QFont>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QStringDecoder>
#include <QSet>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QTextTable>

#include <algorithm>
#include <limits>

#ifdef Q_OS_UNIX
#include <pwd.h>
#include <unistd.h>
#endif

namespace SiteReport {
namespace {

using ScreenDefinition::addressItem;
using ScreenDefinition::bleepItem;
using ScreenDefinition::eventItem;
using ScreenDefinition::leadingTextItem;

const QString kTitle = QStringLiteral("Tessaro settings report");
constexpr int kPdfResolution = 300;
constexpr int kFontPoints = 9;

// Text from the unit, a file or the user, as a person reads it in HTML.
QString escaped(const QString &text)
{
    return Diverse::visibleText(text).toHtmlEscaped();
}

QString cell(const QString &text, const char *tag = "td")
{
    return QStringLiteral("<%1>%2</%1>").arg(QLatin1String(tag), escaped(text));
}

// A column heading with its share of the table's width.
QString heading(const QString &text, int percent)
{
    return QStringLiteral(R"(<th width="%1%">%2</th>)").arg(percent).arg(escaped(text));
}

const QString kStyle = QStringLiteral(
    "body { font-family: sans-serif; font-size: 9pt; }\n"
    "h1 { font-size: 15pt; margin-bottom: 6pt; }\n"
    "h2 { font-size: 11pt; margin-top: 14pt; margin-bottom: 4pt; }\n"
    "table { border-collapse: collapse; }\n"
    "th, td { border: 1px solid #808080; padding: 2px 5px; text-align: left; vertical-align: top; }\n"
    "th { background-color: #e6e6e6; white-space: nowrap; }\n"
    "table.header th { background-color: transparent; font-weight: bold; }\n"
    "tr.differs td { background-color: #ffe4c4; font-weight: bold; }\n");
// With a site record: a value read back that is not the value written.
const QString kWriteStyle = QStringLiteral("td.otherwise { background-color: #ffc8c8; font-weight: bold; }\n");

const char kTableStart[] = R"(<table border="1" cellspacing="0" cellpadding="3" width="100%">)";

// The body rows of every table, counted through the document from 0; a row
// whose number is in `breaks` starts a table of its own, which the PDF starts
// on a new page, so that no row is cut at a page break.
struct Rows
{
    const QSet<int> &breaks;
    int next = 0;

    // A table: its start tag and heading, then its rows, split where a row starts a page.
    QString table(const QString &start, const QString &head, const QStringList &rows)
    {
        // A table with a heading row holds its rows in a body of their own.
        const QString open = head.isEmpty() ? start : start + head + QStringLiteral("<tbody>\n");
        const QString close = head.isEmpty() ? QStringLiteral("</table>\n") : QStringLiteral("</tbody></table>\n");
        QString html = open;
        for (qsizetype i = 0; i < rows.size(); ++i) {
            if (breaks.contains(next++) && i > 0)
                html += close + open;
            html += rows.at(i);
        }
        return html + close;
    }
};

QString headerTable(const Contents &c, Rows &rows)
{
    const std::pair<QString, QString> fields[] = {
        {QStringLiteral("Date and time"), c.when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))},
        {QStringLiteral("Site"), c.site},
        {QStringLiteral("Technician"), c.technician},
        {c.sourceLabel, c.source},
        {QStringLiteral("Tool"), toolVersion()},
    };
    QStringList lines;
    for (const auto &[label, value] : fields)
        lines << QStringLiteral("<tr>") + cell(label, "th") + cell(value) + QStringLiteral("</tr>\n");
    return rows.table(QStringLiteral(R"(<table class="header" border="0" cellspacing="0" cellpadding="2">)"),
                      QString(), lines);
}

bool differs(const Contents &c, int n)
{
    return c.compared.contains(n) && n < c.settings.size() && !(c.compared.value(n) == c.settings.at(n));
}

// An item written whose read-back value is not the value written.
bool readBackOtherwise(const Contents::WriteRecord &w, int n)
{
    return w.written.contains(n) && w.readBack.contains(n) && !(w.readBack.value(n) == w.written.value(n));
}

QString settingsHead(const Contents &c)
{
    const bool comparing = !c.comparedHeading.isEmpty();
    const bool written = c.write.has_value();
    // The values' columns share what the item and the legend leave.
    const int valueColumns = 1 + (comparing ? 1 : 0) + (written ? 3 : 0);
    const int legend = written ? 24 : (comparing ? 35 : 43);
    const int mark = comparing ? 14 : 0;
    const int value = (100 - 7 - legend - mark) / valueColumns;
    QString html = QStringLiteral("<thead><tr>") + heading(QStringLiteral("Item"), 7)
        + heading(QStringLiteral("Setting"), legend) + heading(QStringLiteral("Value"), value);
    if (comparing)
        html += heading(c.comparedHeading, value);
    if (written)
        html += heading(QStringLiteral("Before"), value) + heading(QStringLiteral("Written"), value)
            + heading(QStringLiteral("Read back"), value);
    if (comparing)
        html += heading(QStringLiteral("Differs"), mark);
    return html + QStringLiteral("</tr></thead>\n");
}

// The cells of the site record: before (the backup), written, read back.
QString writeCells(const Contents::WriteRecord &w, int n)
{
    auto shown = [n](const QMap<int, SettingsReport::Setting> &values) {
        return values.contains(n) ? values.value(n).shown() : QString();
    };
    QString html = cell(w.before.contains(n) ? shown(w.before) : QStringLiteral("(not known)"))
        + cell(shown(w.written));
    // A mark in words, not colour alone.
    if (readBackOtherwise(w, n))
        return html
            + QStringLiteral(R"(<td class="otherwise">%1 * not as written</td>)").arg(escaped(shown(w.readBack)));
    return html + cell(shown(w.readBack));
}

QString settingsTable(const Contents &c, Rows &rows)
{
    const bool comparing = !c.comparedHeading.isEmpty();
    QStringList lines;
    for (int n : Items::kBulkItems) {
        if (n >= c.settings.size())
            continue;
        const SettingsReport::Setting &s = c.settings.at(n);
        const bool different = differs(c, n);
        QString html = different ? QStringLiteral(R"(<tr class="differs">)") : QStringLiteral("<tr>");
        html += cell(QString::number(n)) + cell(s.legend) + cell(s.shown());
        if (comparing)
            html += cell(c.compared.contains(n) ? c.compared.value(n).shown() : QStringLiteral("(not known)"));
        if (c.write)
            html += writeCells(*c.write, n);
        // A mark in words, not colour alone.
        if (comparing)
            html += cell(different ? QStringLiteral("* differs") : QString());
        lines << html + QStringLiteral("</tr>\n");
    }
    QString html = rows.table(QLatin1String(kTableStart), settingsHead(c), lines);
    if (comparing)
        html += QStringLiteral("<p>%1 of %2 settings differ (marked \"* differs\").</p>\n")
                    .arg(differingCount(c))
                    .arg(Items::kBulkItems.size());
    if (c.write) {
        html += QStringLiteral("<p>") + escaped(c.write->outcome) + QStringLiteral("<br>Backup: ")
            + (c.write->backupName.isEmpty() ? QStringLiteral("none") : escaped(c.write->backupName))
            + QStringLiteral("</p>\n");
    }
    return html;
}

QString eventsTable(const Contents &c, Rows &rows)
{
    if (!c.eventsNotRead.isEmpty())
        return QStringLiteral("<p>") + escaped(c.eventsNotRead) + QStringLiteral("</p>\n");
    QString html = c.eventsSource.isEmpty() ? QString()
                                            : QStringLiteral("<p>") + escaped(c.eventsSource) + QStringLiteral("</p>\n");
    QString head = QStringLiteral("<thead><tr>");
    const std::pair<const char *, int> columns[] = {
        {"Entry", 8}, {"Event", 11}, {"Pager address", 23}, {"Bleep code", 18}, {"Fixed leading text", 40}};
    for (const auto &[name, percent] : columns)
        head += heading(QString::fromLatin1(name), percent);
    head += QStringLiteral("</tr></thead>\n");
    auto shown = [&c](int n) { return n < c.settings.size() ? c.settings.at(n).shown() : QString(); };
    QStringList lines;
    for (int k = 1; k <= ScreenDefinition::kPagerEntries; ++k) {
        lines << QStringLiteral("<tr>") + cell(QString::number(k)) + cell(shown(eventItem(k)))
                + cell(shown(addressItem(k))) + cell(shown(bleepItem(k))) + cell(shown(leadingTextItem(k)))
                + QStringLiteral("</tr>\n");
    }
    return html + rows.table(QLatin1String(kTableStart), head, lines);
}

QString documentHtml(const Contents &c, const QSet<int> &breaks)
{
    // The tables in the order of the page, as Rows counts their rows.
    Rows rows{breaks};
    QString html = QStringLiteral("<!DOCTYPE html>\n<html><head><meta charset=\"windows-1252\">\n<title>")
        + escaped(kTitle) + QStringLiteral("</title>\n<style>\n") + kStyle + (c.write ? kWriteStyle : QString())
        + QStringLiteral("</style>\n</head>\n<body>\n<h1>") + escaped(kTitle) + QStringLiteral("</h1>\n");
    html += headerTable(c, rows);
    html += QStringLiteral("<h2>Settings</h2>\n");
    html += settingsTable(c, rows);
    html += QStringLiteral("<h2>Event entries</h2>\n");
    html += eventsTable(c, rows);
    return html + QStringLiteral("</body></html>\n");
}

// The page of a height in the laid-out document.
int pageAt(qreal y, qreal pageHeight)
{
    return int(y / pageHeight);
}

// The pages the lines of some blocks lie on, the first and the last.
struct PageSpan
{
    qreal pageHeight;
    int first = std::numeric_limits<int>::max();
    int last = -1;

    void add(const QTextBlock &block)
    {
        const qreal top = block.document()->documentLayout()->blockBoundingRect(block).top();
        for (int i = 0; i < block.layout()->lineCount(); ++i) {
            const QTextLine line = block.layout()->lineAt(i);
            first = std::min(first, pageAt(top + line.y() + 0.5, pageHeight));
            last = std::max(last, pageAt(top + line.y() + line.height() - 0.5, pageHeight));
        }
    }
    void addRow(const QTextTable &table, int row)
    {
        for (int column = 0; column < table.columns(); ++column) {
            const QTextTableCell cell = table.cellAt(row, column);
            const QTextBlock end = cell.lastCursorPosition().block().next();
            for (QTextBlock block = cell.firstCursorPosition().block(); block.isValid() && block != end;
                 block = block.next())
                add(block);
        }
    }
    bool cut() const { return last > first; }
};

// The tables in the order of the page, each with the section heading over it
// (no table between), else an invalid block. The title is no section heading.
QList<std::pair<QTextTable *, QTextBlock>> tablesWithHeadings(const QTextDocument &document)
{
    QList<std::pair<QTextTable *, QTextBlock>> tables;
    QTextBlock heading;
    for (auto it = document.rootFrame()->begin(); !it.atEnd(); ++it) {
        if (auto *table = qobject_cast<QTextTable *>(it.currentFrame())) {
            tables.append({table, heading});
            heading = QTextBlock();
        } else if (it.currentBlock().blockFormat().headingLevel() > 1) {
            heading = it.currentBlock();
        }
    }
    return tables;
}

// The HTML reader drops a table's page break: each table that starts with a
// row of `breaks` gets its break here, before its section heading if it has one.
void breakBeforeTables(QTextDocument &document, const QSet<int> &breaks)
{
    int counted = 0;
    for (const auto &[table, heading] : tablesWithHeadings(document)) {
        if (breaks.contains(counted) && heading.isValid()) {
            QTextBlockFormat format;
            format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
            QTextCursor(heading).mergeBlockFormat(format);
        } else if (breaks.contains(counted)) {
            QTextTableFormat format = table->format();
            format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
            table->setFormat(format);
        }
        counted += table->rows() - table->format().headerRowCount();
    }
}

// The number of the first body row cut at a page break, counted as Rows
// counts them, other than those that already start a page (taller than one);
// -1 when every other row is whole. A table's first row is cut too when its
// section heading or its heading row lies on another page.
int firstCutRow(const QTextDocument &document, qreal pageHeight, const QSet<int> &breaks)
{
    int counted = 0;
    for (const auto &[table, heading] : tablesWithHeadings(document)) {
        const int head = table->format().headerRowCount();
        for (int row = head; row < table->rows(); ++row, ++counted) {
            PageSpan span{pageHeight};
            span.addRow(*table, row);
            for (int above = 0; row == head && above < head; ++above)
                span.addRow(*table, above);
            if (row == head && heading.isValid())
                span.add(heading);
            if (!breaks.contains(counted) && span.cut())
                return counted;
        }
    }
    return -1;
}

// Windows-1252, with a character reference for each character it has no byte for.
QByteArray htmlBytes(const QString &text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (const int b = Cp1252::byteOf(text.at(i)); b >= 0) {
            bytes += char(b);
            continue;
        }
        char32_t code = text.at(i).unicode();
        if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            code = QChar::surrogateToUcs4(text.at(i), text.at(i + 1));
            ++i;
        }
        bytes += "&#" + QByteArray::number(uint(code)) + ';';
    }
    return bytes;
}

// Names from the system: UTF-8 where they are valid UTF-8, else Windows-1252.
QString systemText(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    return utf8.hasError() ? Cp1252::decode(bytes) : text;
}

// The report in pages of the document's page size. The layout cuts a row whose
// first line fits on a page and whose last does not: such a row starts the
// next page instead, one at a time, each move shifting the rows after it. A
// row taller than a page stays cut. Each round adds a row, so the rounds end.
void layOutWholeRows(QTextDocument &document, const Contents &contents, qreal pageHeight)
{
    QSet<int> breaks;
    for (;;) {
        document.setHtml(documentHtml(contents, breaks));
        breakBeforeTables(document, breaks);
        const int cut = firstCutRow(document, pageHeight, breaks);
        if (cut < 0)
            return;
        breaks.insert(cut);
    }
}

} // namespace

Format formatOf(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("pdf"))
        return Format::Pdf;
    if (suffix == QLatin1String("html"))
        return Format::Html;
    return Format::Unknown;
}

QList<int> eventItems()
{
    QList<int> items;
    for (int k = 1; k <= ScreenDefinition::kPagerEntries; ++k)
        items << bleepItem(k) << eventItem(k) << addressItem(k) << leadingTextItem(k);
    return items;
}

int differingCount(const Contents &contents)
{
    int count = 0;
    for (int n : Items::kBulkItems)
        count += differs(contents, n) ? 1 : 0;
    return count;
}

QString html(const Contents &c)
{
    return documentHtml(c, {});
}

QByteArray pdf(const Contents &contents)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly))
        return {};
    QPdfWriter writer(&buffer);
    writer.setResolution(kPdfResolution);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(15, 15, 15, 10),
                                     QPageLayout::Millimeter));
    writer.setTitle(kTitle);
    writer.setCreator(toolVersion());

    QTextDocument document;
    document.documentLayout()->setPaintDevice(&writer);
    QFont font(QStringLiteral("sans-serif"), kFontPoints);
    // No ligatures: the PDF's text stays searchable as typed ("differs", not "di\uFB00ers").
    font.setStyleStrategy(QFont::PreferNoShaping);
    document.setDefaultFont(font);
    // The body in pages of the paint area less a footer line and a half.
    const qreal footer = QFontMetricsF(font, &writer).height() * 2;
    const QSizeF body(writer.width(), writer.height() - footer);
    document.setPageSize(body);
    layOutWholeRows(document, contents, body.height());

    QPainter painter;
    if (!painter.begin(&writer))
        return {};
    const int pages = document.pageCount();
    for (int i = 0; i < pages; ++i) {
        if (i > 0)
            writer.newPage();
        painter.save();
        painter.translate(0, -i * body.height());
        document.drawContents(&painter, QRectF(QPointF(0, i * body.height()), body));
        painter.restore();
        painter.setFont(font);
        painter.drawText(QRectF(0, body.height(), body.width(), footer), Qt::AlignRight | Qt::AlignBottom,
                         QStringLiteral("Page %1 of %2").arg(i + 1).arg(pages));
    }
    painter.end();
    return bytes;
}

FileResult save(const QString &path, const Contents &contents)
{
    QByteArray bytes;
    switch (formatOf(path)) {
    case Format::Pdf: bytes = pdf(contents); break;
    case Format::Html: bytes = htmlBytes(html(contents)); break;
    case Format::Unknown:
        return FileResult::failure(QStringLiteral("%1: a report is a .pdf or an .html file")
                                       .arg(Diverse::visibleText(TextFile::displayName(path))));
    }
    if (bytes.isEmpty())
        return FileResult::failure(QStringLiteral("%1: the PDF could not be made")
                                       .arg(Diverse::visibleText(TextFile::displayName(path))));
    return TextFile::replaceAtomically(path, bytes, QStringLiteral("report"));
}

QString toolVersion()
{
    return QStringLiteral("Tessaro %1.%2").arg(TESSARO_VERSION_MAJOR).arg(TESSARO_VERSION_MINOR);
}

QString defaultTechnician()
{
#ifdef Q_OS_UNIX
    // GECOS: "Full Name,Room,Work phone,Home phone,Other".
    if (const passwd *account = ::getpwuid(::getuid()); account && account->pw_gecos) {
        const QByteArray fullName = QByteArray(account->pw_gecos).split(',').value(0).trimmed();
        if (!fullName.isEmpty())
            return systemText(fullName);
    }
#endif
    for (const char *name : {"USER", "USERNAME"}) {
        if (const QString login = qEnvironmentVariable(name); !login.isEmpty())
            return login;
    }
    return QString();
}

QString proposedFileName(const QDate &date, const QString &device)
{
    return date.toString(QStringLiteral("yyyy-MM-dd")) + QLatin1Char('_') + Backups::deviceFileTag(device)
        + QStringLiteral(".pdf");
}

} // namespace SiteReport

#include "QtDialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFileDialog>
#include <QSettings>
#include <QGridLayout>
#include <QHeaderView>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTreeView>

#include <utility>

namespace QtDialogs {
namespace {

// The column of Qt's file dialog list that holds the date modified.
constexpr int kDateColumn = 3;

struct FilterPair
{
    QString description;
    QString patterns; // blank-separated
};

QList<FilterPair> filterPairs(const QString &pairs)
{
    QList<FilterPair> result;
    const QStringList parts = pairs.split(u'|');
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        result.append({parts.at(i).trimmed(), parts.at(i + 1).trimmed().replace(u';', u' ')});
    if (parts.size() % 2 == 1 && !parts.last().trimmed().isEmpty())
        result.append({parts.last().trimmed(), parts.last().trimmed()});
    return result;
}

} // namespace

QString withNewlines(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    return text;
}

QString qtFilter(const QString &pairs)
{
    QStringList filters;
    for (const FilterPair &pair : filterPairs(pairs)) {
        // Qt reads the patterns from the parentheses of the description.
        const QString inParentheses = QStringLiteral("(") + pair.patterns + u')';
        filters << (pair.description.contains(inParentheses) ? pair.description
                                                             : pair.description + u' ' + inParentheses);
    }
    return filters.join(QStringLiteral(";;"));
}

QString defaultSuffix(const QString &pairs)
{
    const QList<FilterPair> list = filterPairs(pairs);
    if (list.isEmpty())
        return QString();
    static const QRegularExpression kExtension(QStringLiteral("^\\*\\.([A-Za-z0-9_]+)$"));
    const QRegularExpressionMatch match = kExtension.match(list.first().patterns.section(u' ', 0, 0));
    return match.hasMatch() ? match.captured(1) : QString();
}

OperatorView::Answer messageBox(QWidget *parent, const QString &text, const QString &title,
                                OperatorView::Icon icon, OperatorView::Buttons buttons, const QString &details)
{
    QMessageBox::Icon qtIcon = QMessageBox::NoIcon;
    switch (icon) {
    case OperatorView::Icon::None: qtIcon = QMessageBox::NoIcon; break;
    case OperatorView::Icon::Critical: qtIcon = QMessageBox::Critical; break;
    case OperatorView::Icon::Information: qtIcon = QMessageBox::Information; break;
    }
    const auto qtButtons = buttons == OperatorView::Buttons::OkCancel ? QMessageBox::Ok | QMessageBox::Cancel
                                                                      : QMessageBox::StandardButtons(QMessageBox::Ok);
    QMessageBox box(qtIcon, title, withNewlines(text), qtButtons, parent);
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::ApplicationModal);
    if (!details.isEmpty()) {
        box.setDetailedText(details);
        // Wide enough for a detail on one line, within reason.
        if (auto *grid = qobject_cast<QGridLayout *>(box.layout())) {
            int width = 0;
            for (const QString &line : details.split(u'\n'))
                width = qMax(width, box.fontMetrics().horizontalAdvance(line));
            grid->addItem(new QSpacerItem(qMin(width + 40, 640), 0, QSizePolicy::Minimum, QSizePolicy::Expanding),
                          grid->rowCount(), 0, 1, grid->columnCount());
        }
    }
    return box.exec() == QMessageBox::Ok ? OperatorView::Answer::Ok : OperatorView::Answer::Cancel;
}

std::optional<QString> chooseFile(QWidget *parent, bool save, const QString &proposedName,
                                  const QString &startFolder, const QString &filter, bool newestFirst)
{
    QFileDialog dialog(parent, QString(), existingFolder(startFolder), qtFilter(filter));
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (save)
        dialog.setDefaultSuffix(defaultSuffix(filter));
    // The name box shows the proposed name, also a pattern such as "*.cfg".
    dialog.selectFile(proposedName);

    // Qt keeps the last dialog's view and order for every later one: they are
    // put back before it closes, so only this dialog shows newest first.
    QTreeView *list = nullptr;
    QByteArray listState;
    const QFileDialog::ViewMode viewMode = dialog.viewMode();
    if (newestFirst) {
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        list = dialog.findChild<QTreeView *>(QStringLiteral("treeView"));
    }
    if (list) {
        listState = list->header()->saveState();
        dialog.setViewMode(QFileDialog::Detail);
        list->sortByColumn(kDateColumn, Qt::DescendingOrder);
    }
    const bool chosen = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
    if (list) {
        list->header()->restoreState(listState);
        dialog.setViewMode(viewMode);
    }
    if (!chosen)
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

void keepQtSettingsIn(const QString &folder)
{
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder);
}

QString existingFolder(const QString &folder)
{
    // Qt's dialog would start in the nearest existing parent and put the
    // missing folder's name into the name box, in place of the proposed name.
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QDir::homePath();
}

void beep()
{
    QApplication::beep();
}

} // namespace QtDialogs

OperatorDialogs::Answer QtOperatorDialogs::messageBox(const QString &text, const QString &title, Icon icon,
                                                      Buttons buttons)
{
    QWidget *parent = QApplication::activeModalWidget() ? QApplication::activeModalWidget() : m_window;
    return QtDialogs::messageBox(parent, text, title, icon, buttons, std::exchange(m_nextDetails, QString()));
}

void QtOperatorDialogs::beep()
{
    QtDialogs::beep();
}

std::optional<QString> QtOperatorDialogs::chooseFile(bool save, const QString &proposedName,
                                                     const QString &startFolder, const QString &filter)
{
    return QtDialogs::chooseFile(m_window, save, proposedName, startFolder, filter);
}

std::optional<QString> QtOperatorDialogs::chooseNewestFile(const QString &proposedName, const QString &startFolder,
                                                           const QString &filter)
{
    return QtDialogs::chooseFile(m_window, false, proposedName, startFolder, filter, true);
}

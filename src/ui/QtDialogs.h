#pragma once

#include "protocol/OperatorView.h"

#include <QString>

#include <optional>

class QWidget;

// The operator's dialogs as Qt shows them, over the window they belong to
// (or the modal dialog open on it).
class QtOperatorDialogs : public OperatorDialogs
{
public:
    explicit QtOperatorDialogs(QWidget *window) : m_window(window) {}

    Answer messageBox(const QString &text, const QString &title, Icon icon, Buttons buttons) override;
    void setNextMessageDetails(const QString &details) override { m_nextDetails = details; }
    void beep() override;
    std::optional<QString> chooseFile(bool save, const QString &proposedName, const QString &startFolder,
                                      const QString &filter) override;
    std::optional<QString> chooseNewestFile(const QString &proposedName, const QString &startFolder,
                                            const QString &filter) override;

private:
    QWidget *m_window;
    QString m_nextDetails;
};

// The operator's message boxes, file dialogs and beep, as Qt shows them.
namespace QtDialogs {

// Details, when given, stand behind the box's details button.
OperatorView::Answer messageBox(QWidget *parent, const QString &text, const QString &title,
                                OperatorView::Icon icon, OperatorView::Buttons buttons,
                                const QString &details = QString());

// newestFirst: Qt's own dialog, its list by date with the newest on top.
std::optional<QString> chooseFile(QWidget *parent, bool save, const QString &proposedName,
                                  const QString &startFolder, const QString &filter, bool newestFirst = false);

void beep();

// The folder a file dialog starts in: the given one when it exists, else the
// operator's home folder.
QString existingFolder(const QString &folder);

// A filter of "description|pattern" pairs ("cfg (*.cfg) | *.cfg") as Qt's file
// dialog takes it ("cfg (*.cfg)"); several pairs are joined by ";;".
QString qtFilter(const QString &pairs);
// The extension a saved file gets when the operator types none: that of the
// first pattern ("cfg"), so the open dialog's filter finds the file again.
QString defaultSuffix(const QString &pairs);

// Line breaks as the widgets show them: CR LF and a lone CR become LF.
QString withNewlines(QString text);

// Qt's own settings of this user (the file dialogs' history, view and order,
// QtProject.conf) are kept in the folder from now on, not in ~/.config.
void keepQtSettingsIn(const QString &folder);

} // namespace QtDialogs

#pragma once

#include <QString>

#include <optional>

// The operator's message boxes, file dialogs and beep: the window shows them
// with Qt, a test or the command-line tool answers them.
class OperatorDialogs
{
public:
    enum class Icon { None, Critical, Information };
    enum class Buttons { Ok, OkCancel };
    enum class Answer { Ok, Cancel };

    virtual ~OperatorDialogs() = default;

    virtual Answer messageBox(const QString &text, const QString &title, Icon icon, Buttons buttons) = 0;
    // Details for the next message box only, shown behind its details button;
    // its text and buttons stay as they are. A view without a place for them ignores them.
    virtual void setNextMessageDetails(const QString &details) { (void)details; }
    virtual void beep() = 0;
    // An open (save false) or save dialog: proposed file name, start folder and a
    // filter of "description|pattern" pairs. The full path chosen, or nothing
    // when the operator cancelled.
    virtual std::optional<QString> chooseFile(bool save, const QString &proposedName, const QString &startFolder,
                                              const QString &filter) = 0;
    // An open dialog that lists the newest files first where the view can
    // (for files named by date and time); otherwise the usual open dialog.
    virtual std::optional<QString> chooseNewestFile(const QString &proposedName, const QString &startFolder,
                                                    const QString &filter)
    {
        return chooseFile(false, proposedName, startFolder, filter);
    }
};

// What the engine and the commands need of the operator's screen: the progress
// box TxtProgress, the progress bar, the test-call fields, and the dialogs.
// The main window implements it; the headless view records it.
class OperatorView : public OperatorDialogs
{
public:
    struct ProgressBar
    {
        bool visible = false;
        int minimum = 0;
        int maximum = 40;
        int value = 0;
        bool operator==(const ProgressBar &) const = default;
    };

    // Appends a piece to TxtProgress and moves its caret to the end.
    virtual void appendProgress(const QString &piece) = 0;
    virtual void clearProgress() = 0;
    virtual void setProgressBar(const ProgressBar &bar) = 0;
    virtual QString testPagerAddress() const = 0;
    virtual QString testPagerDisplayInfo() const = 0;
};

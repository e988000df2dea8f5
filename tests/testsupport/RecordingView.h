#pragma once

#include "protocol/OperatorView.h"

#include <QList>

#include <utility>

// An operator view without a screen: records what the engine showed, answers
// message boxes and file dialogs with preset answers.
class RecordingView : public OperatorView
{
public:
    struct Message
    {
        QString text;
        QString title;
        Icon icon;
        Buttons buttons;
        QString details; // from setNextMessageDetails, empty without
    };
    struct FileRequest
    {
        bool save;
        QString proposedName;
        QString startFolder;
        QString filter;
    };

    void appendProgress(const QString &piece) override { m_progress += piece; }
    void clearProgress() override { m_progress.clear(); }
    void setProgressBar(const ProgressBar &bar) override { m_bar = bar; }
    Answer messageBox(const QString &text, const QString &title, Icon icon, Buttons buttons) override
    {
        m_messages.append({text, title, icon, buttons, std::exchange(m_nextDetails, QString())});
        return m_answer;
    }
    void setNextMessageDetails(const QString &details) override { m_nextDetails = details; }
    QString testPagerAddress() const override { return m_address; }
    QString testPagerDisplayInfo() const override { return m_displayInfo; }
    void beep() override { ++m_beeps; }
    std::optional<QString> chooseFile(bool save, const QString &proposedName, const QString &startFolder,
                                      const QString &filter) override
    {
        m_fileRequests.append({save, proposedName, startFolder, filter});
        return m_chosenFile;
    }

    const QString &progress() const { return m_progress; }
    const ProgressBar &progressBar() const { return m_bar; }
    const QList<Message> &messages() const { return m_messages; }
    int beeps() const { return m_beeps; }
    const QList<FileRequest> &fileRequests() const { return m_fileRequests; }

    void setAnswer(Answer answer) { m_answer = answer; }
    void setTestPagerAddress(const QString &address) { m_address = address; }
    void setTestPagerDisplayInfo(const QString &text) { m_displayInfo = text; }
    // What the file dialog answers: a full path, or nothing for a cancel.
    void setChosenFile(const std::optional<QString> &path) { m_chosenFile = path; }

private:
    QString m_progress;
    ProgressBar m_bar;
    QList<Message> m_messages;
    QString m_nextDetails;
    Answer m_answer = Answer::Ok;
    QString m_address;
    QString m_displayInfo;
    int m_beeps = 0;
    QList<FileRequest> m_fileRequests;
    std::optional<QString> m_chosenFile;
};

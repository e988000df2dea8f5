#include "TracePage.h"

#include "model/Branding.h"
#include "FocusSign.h"
#include "NewestInView.h"

#include "files/TextFile.h"
#include "model/Cp1252.h"
#include "protocol/OperatorView.h"

#include <QClipboard>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

TracePage::TracePage(OperatorView &view, const QString &saveFolder, QWidget *parent)
    : QWidget(parent), m_view(view), m_saveFolder(saveFolder)
{
    m_lines = new QPlainTextEdit;
    m_lines->setObjectName(QStringLiteral("TxtTrace"));
    m_lines->setAccessibleName(QStringLiteral("Trace"));
    m_lines->setAccessibleDescription(QStringLiteral("One line per frame sent or received, the newest at the bottom"));
    m_lines->setReadOnly(true);
    m_lines->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_lines->setMaximumBlockCount(kMaxLines);
    m_lines->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    showFocusFrame(m_lines);
    keepNewestInView(m_lines);

    auto *copyButton = new QPushButton(QStringLiteral("&Copy"));
    copyButton->setObjectName(QStringLiteral("CmdTraceCopy"));
    auto *saveButton = new QPushButton(QStringLiteral("Save to &disk..."));
    saveButton->setObjectName(QStringLiteral("CmdTraceSave"));
    for (QPushButton *button : {copyButton, saveButton})
        button->setAutoDefault(true);
    connect(copyButton, &QPushButton::clicked, this, &TracePage::copy);
    connect(saveButton, &QPushButton::clicked, this, &TracePage::save);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(copyButton);
    buttons->addWidget(saveButton);
    buttons->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_lines, 1);
    layout->addLayout(buttons);
}

void TracePage::addLine(const WireTrace::Line &line)
{
    m_lines->appendPlainText(WireTrace::format(line));
}

QString TracePage::text() const
{
    return m_lines->toPlainText();
}

void TracePage::copy()
{
    QGuiApplication::clipboard()->setText(text());
}

void TracePage::save()
{
    const auto path = m_view.chooseFile(true, QStringLiteral("trace"), m_saveFolder, QStringLiteral("txt (*.txt) | *.txt"));
    if (!path)
        return;
    QString content = text();
    if (!content.isEmpty())
        content += u'\n';
    content.replace(u'\n', QStringLiteral("\r\n"));
    const FileResult written = TextFile::replaceAtomically(*path, Cp1252::encodeLossy(content), QStringLiteral("trace file"));
    if (!written.ok)
        m_view.messageBox(written.error, Branding::kTitleBy, OperatorView::Icon::Critical, OperatorView::Buttons::Ok);
}

#include "StatusReport.h"

#include "FileValueMarks.h"
#include "LinkStatusLine.h"
#include "QtItemControls.h"

#include "model/Diverse.h"
#include "protocol/Session.h"

#include <QAccessible>
#include <QBoxLayout>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMainWindow>
#include <QStatusBar>

namespace {

const QString kSeparator = QStringLiteral(" \u00B7 ");

// A label that wraps its text, within words where it must, and asks for
// the height the wrapped text needs at its width: the status bar grows a
// line rather than cut a message at the window's edge. The status bar's
// layout does not follow a height that depends on the width, so the label
// offers it as a fixed height and asks again when its width changes.
class WrappingLabel : public QLabel
{
public:
    WrappingLabel() { setWordWrap(true); }
    bool hasHeightForWidth() const override { return false; }
    QSize minimumSizeHint() const override { return QSize(1, neededHeight()); }
    QSize sizeHint() const override { return QSize(QLabel::sizeHint().width(), neededHeight()); }

protected:
    void resizeEvent(QResizeEvent *event) override
    {
        QLabel::resizeEvent(event);
        if (height() != neededHeight())
            updateGeometry();
    }

private:
    int neededHeight() const { return heightForWidth(qMax(width(), 1)); }
};

QLabel *makeLabel(const char *name, QLabel *label = new QLabel)
{
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    return label;
}

// Once it has words: shown, reached with the tab key, selectable, copied
// with Ctrl+C. Empty, it stays hidden, so a screen reader finds no blank label.
void showText(QLabel *label, const QString &text)
{
    label->setText(text);
    label->setVisible(!text.isEmpty());
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    label->setFocusPolicy(Qt::StrongFocus);
}

// "2 settings in the file could not be shown: item 14: 60 is not one of its
// choices; item 156: the text holds the control character [RS]".
QString unsendableText(const QList<LeesIniFile::UnsendableValue> &unsendable)
{
    QStringList each;
    for (const LeesIniFile::UnsendableValue &value : unsendable)
        each << QStringLiteral("item %1: %2").arg(value.item).arg(Diverse::visibleText(value.problem));
    const QString count = unsendable.size() == 1 ? QStringLiteral("1 setting in the file could not be shown")
                                                 : QStringLiteral("%1 settings in the file could not be shown")
                                                       .arg(unsendable.size());
    return count + QStringLiteral(": ") + each.join(QStringLiteral("; "));
}

} // namespace

StatusReport::StatusReport(QMainWindow &window, QWidget &linkFrame, Session &session, const QtItemControls &controls,
                           Logfile::Clock clock)
    : QObject(&window), m_session(session), m_controls(controls), m_clock(std::move(clock))
{
    m_linkLine = new LinkStatusLine;
    if (auto *box = qobject_cast<QBoxLayout *>(linkFrame.layout())) {
        // Before a closing stretch, so the line sits beside the indicators.
        int at = box->count();
        if (at > 0 && box->itemAt(at - 1)->spacerItem())
            --at;
        box->insertSpacing(at, 12);
        box->insertWidget(at + 1, m_linkLine, 1);
    } else if (linkFrame.layout()) {
        linkFrame.layout()->addWidget(m_linkLine);
    }
    m_linkLine->showState(session.datacom.linkState());
    session.datacom.linkState().addListener([this](const LinkState &link) { m_linkLine->showState(link); });

    QStatusBar *bar = window.statusBar();
    // A long message must not widen the window: it wraps, and its tooltip holds it too.
    m_message = makeLabel("StatusMessage", new WrappingLabel);
    m_file = makeLabel("StatusSettingsFile");
    m_serviceMode = makeLabel("StatusServiceMode");
    m_serviceMode->setText(QStringLiteral("Service mode"));
    m_serviceMode->setVisible(false);
    bar->addWidget(m_message, 1);
    bar->addPermanentWidget(m_file);
    bar->addPermanentWidget(m_serviceMode);
    m_message->setVisible(false);
    m_file->setVisible(false);

    m_tips = new UnitValueTips(controls, session.stores, this);
    m_marks = new FileValueMarks(controls, this);
    m_tips->setFirstTip([this](int item) { return m_marks->tip(item); });
    connect(m_marks, &FileValueMarks::changed, m_tips, &UnitValueTips::refresh);
    // An open that reached another device, or may have reached another unit:
    // what the window remembers of the unit is not this unit's.
    session.datacom.linkState().addAnotherDeviceListener([this] {
        m_unit.forget();
        m_tips->refreshAll();
    });
    session.engine.addOutcomeListener([this](const Outcome &o) { outcome(o); });
}

void StatusReport::outcome(const Outcome &outcome)
{
    m_unit.take(m_session.stores);
    // A read puts the unit's value on the control in the file's place.
    if (outcome.command == Outcome::Command::ReadAll) {
        for (int n : outcome.items)
            m_marks->drop(n);
    } else if (outcome.command == Outcome::Command::ReadItem && outcome.result == Outcome::Result::Succeeded) {
        m_marks->drop(outcome.item);
    }
    m_tips->refreshAll();
    // The same words as the log's closing line: a write that ended early names
    // what the unit took.
    QString text = outcomeLogText(outcome, m_controls);
    // Refused while the port is closed: why it is closed helps more than that it is.
    const QString reason = m_session.datacom.linkState().reason();
    if (outcome.result == Outcome::Result::NotStarted && !reason.isEmpty())
        text += QStringLiteral(": ") + Diverse::visibleText(reason);
    // The words name the backup's file; the tooltip where it is.
    QString backup;
    if (!outcome.backupPath.isEmpty())
        backup = QStringLiteral("Backup: ") + Diverse::visibleText(QDir::toNativeSeparators(outcome.backupPath));
    showMessage(text, backup);
}

void StatusReport::showMessage(const QString &text, const QString &detail)
{
    const QDateTime now = m_clock ? m_clock() : QDateTime::currentDateTime();
    showText(m_message, text + kSeparator + now.toString(QStringLiteral("HH:mm:ss")));
    m_message->setToolTip(detail.isEmpty() ? m_message->text() : m_message->text() + u'\n' + detail);
    // A screen reader says the new message, e.g. "Write all settings: 14 written":
    // the label's new text is a name change of its own, the alert asks to say it now.
    QAccessibleEvent alert(m_message, QAccessible::Alert);
    QAccessible::updateAccessibility(&alert);
}

void StatusReport::showFile(const QString &path)
{
    showText(m_file, QFileInfo(path).fileName());
    m_file->setToolTip(path);
}

void StatusReport::beforeFileLoad()
{
    m_unit.take(m_session.stores);
}

void StatusReport::fileLoaded(const QString &path, bool ok, const QList<LeesIniFile::UnsendableValue> &unsendable)
{
    if (!ok) {
        showMessage(QStringLiteral("Could not load ") + path);
        return;
    }
    showFile(path);
    m_marks->setAll(unsendable);
    QString text = QStringLiteral("Loaded ") + path;
    bool anyKnown = false;
    for (int n = 0; n < Items::kItemCount && !anyKnown; ++n)
        anyKnown = m_unit.known(n);
    if (anyKnown) {
        const int count = UnitDifferences::differingCount(m_controls, m_unit);
        text += kSeparator
            + (count == 0 ? QStringLiteral("no setting differs from the unit")
                          : count == 1 ? QStringLiteral("1 setting differs from the unit")
                                       : QStringLiteral("%1 settings differ from the unit").arg(count));
    }
    if (!unsendable.isEmpty())
        text += kSeparator + unsendableText(unsendable);
    showMessage(text);
}

void StatusReport::fileSaved(const QString &path, bool ok)
{
    if (!ok) {
        showMessage(QStringLiteral("Could not save ") + path);
        return;
    }
    showFile(path);
    showMessage(QStringLiteral("Saved ") + path);
}

void StatusReport::setServiceMode(bool on)
{
    m_serviceMode->setVisible(on);
}

void StatusReport::countDifferencesOn(const QList<QTabWidget *> &tabs)
{
    m_tips->countOnTabs(tabs);
}

void StatusReport::coloursMarked()
{
    m_tips->refreshAll();
}

QString StatusReport::writeAllSummary() const
{
    return UnitDifferences::writeAllSummary(m_session.stores, m_controls, m_unit);
}

QString StatusReport::writeAllDetails() const
{
    return UnitDifferences::writeAllDetails(m_session.stores, m_controls, m_unit);
}

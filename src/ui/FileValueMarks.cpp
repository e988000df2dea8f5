#include "FileValueMarks.h"

#include "QtItemControls.h"

#include "model/Diverse.h"
#include "model/ScreenDefinition.h"

#include <QComboBox>
#include <QLineEdit>

#include <utility>

using namespace ScreenDefinition;

namespace {

const QString kFrameColour = QStringLiteral("rgb(176, 0, 0)");

QWidget *controlOf(const QtItemControls &controls, int item)
{
    if (hasCombo(item))
        return controls.combo(item);
    return hasControl(item) ? controls.textBox(item) : nullptr;
}

} // namespace

FileValueMarks::FileValueMarks(const QtItemControls &controls, QObject *parent)
    : QObject(parent), m_controls(controls)
{
    // Only the operator's own change takes a mark away: the program's
    // setting of a control passes neither signal.
    for (int n = 0; n <= kLastTekstBox; ++n) {
        if (hasCombo(n))
            connect(controls.combo(n), &QComboBox::activated, this, [this, n] { drop(n); });
        else if (hasControl(n))
            connect(controls.textBox(n), &QLineEdit::textEdited, this, [this, n] { drop(n); });
    }
}

void FileValueMarks::setAll(const QList<LeesIniFile::UnsendableValue> &values)
{
    const auto old = std::exchange(m_marks, {});
    for (const auto &entry : old) {
        showMark(entry.first, false);
        emit changed(entry.first);
    }
    for (const LeesIniFile::UnsendableValue &value : values) {
        m_marks[value.item] = value;
        showMark(value.item, true);
        emit changed(value.item);
    }
}

void FileValueMarks::drop(int item)
{
    if (m_marks.erase(item) == 0)
        return;
    showMark(item, false);
    emit changed(item);
}

void FileValueMarks::showMark(int item, bool on)
{
    QWidget *control = controlOf(m_controls, item);
    if (!control)
        return;
    // The selector names the control's own class, so a combo box's list is left alone.
    const QString selector = hasCombo(item) ? QStringLiteral("QComboBox") : QStringLiteral("QLineEdit");
    control->setStyleSheet(on ? QStringLiteral("%1 { border: 2px solid %2; }").arg(selector, kFrameColour) : QString());
}

QString FileValueMarks::tip(int item) const
{
    const auto it = m_marks.find(item);
    if (it == m_marks.end())
        return QString();
    const QString value = hasTekstBox(item) ? it->second.text : it->second.text.trimmed();
    const QString problem = Diverse::visibleText(it->second.problem);
    if (value.isEmpty())
        return QStringLiteral("the file holds no value for it");
    // "60 is not one of its choices" reads "the file holds 60, not one of its choices".
    const QString shown = Diverse::visibleText(value);
    const QString named = shown + QStringLiteral(" is ");
    if (problem.startsWith(named))
        return QStringLiteral("the file holds %1, %2").arg(shown, problem.mid(named.size()));
    return QStringLiteral("the file holds \"%1\": %2").arg(shown, problem);
}

QString FileValueMarks::refusal(const QList<int> &items) const
{
    QStringList each;
    for (const auto &[item, value] : m_marks) {
        if (items.contains(item))
            each << QStringLiteral("item %1: %2").arg(item).arg(Diverse::visibleText(value.problem));
    }
    if (each.isEmpty())
        return QString();
    const QString count = each.size() == 1 ? QStringLiteral("1 setting from the file cannot be sent")
                                           : QStringLiteral("%1 settings from the file cannot be sent").arg(each.size());
    return count + QStringLiteral(": ") + each.join(QStringLiteral("; "));
}

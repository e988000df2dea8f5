#include "TypingLimitValidator.h"

#include "model/Cp1252.h"

#include <QLineEdit>

namespace {

qsizetype unencodableCount(QStringView text)
{
    qsizetype count = 0;
    for (const QChar ch : text) {
        if (Cp1252::byteOf(ch) < 0)
            ++count;
    }
    return count;
}

// Bytes 0x00-0x1F and 0x7F: the unit's frames use some of them as
// separators. Also the five bytes Windows-1252 leaves undefined, which decode
// to the control characters of the same value: no text can mean them.
bool isControl(char16_t ch)
{
    switch (ch) {
    case 0x81:
    case 0x8D:
    case 0x8F:
    case 0x90:
    case 0x9D: return true;
    default: return ch < 0x20 || ch == 0x7F;
    }
}

qsizetype controlCount(QStringView text)
{
    qsizetype count = 0;
    for (const QChar ch : text) {
        if (isControl(ch.unicode()))
            ++count;
    }
    return count;
}

} // namespace

TypingLimitValidator::TypingLimitValidator(QLineEdit *edit, int limit, bool codePageCheck)
    : QValidator(edit), m_edit(edit), m_limit(limit), m_codePageCheck(codePageCheck), m_before(edit->text())
{
    // textChanged follows the validation of each change, so m_before holds
    // the text as it was before the change being validated.
    connect(edit, &QLineEdit::textChanged, this, [this](const QString &text) { m_before = text; });
}

QValidator::State TypingLimitValidator::validate(QString &input, int &pos) const
{
    Q_UNUSED(pos);
    // setText clears the box's modified state before it validates: a text set
    // by the program passes whole. Refusing it would also leave the box in an
    // invalid state in which the next keystroke is no longer checked.
    if (!m_edit->isModified())
        return Acceptable;
    if (m_limit > 0 && input.size() > m_limit && input.size() > m_before.size())
        return Invalid;
    if (m_codePageCheck && unencodableCount(input) > unencodableCount(m_before))
        return Invalid;
    if (controlCount(input) > controlCount(m_before))
        return Invalid;
    return Acceptable;
}

TypingLimitValidator *TypingLimitValidator::install(QLineEdit *edit, int limit, bool codePageCheck)
{
    auto *validator = new TypingLimitValidator(edit, limit, codePageCheck);
    edit->setValidator(validator);
    return validator;
}

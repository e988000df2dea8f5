#pragma once

#include <QValidator>

class QLineEdit;

// Limits what the operator types into a text box without touching texts the
// program puts there: QLineEdit::setMaxLength would cut a longer value read
// from the unit or a file, and a later save would store it cut.
//
// An edit by the operator is refused when it makes the text longer than both
// the limit and the text before the edit (so an overlong text can still be
// shortened or changed in place), when it adds a control character (0x00-0x1F,
// 0x7F, and the five Windows-1252 leaves undefined: 0x81, 0x8D, 0x8F, 0x90,
// 0x9D; typed or pasted), and, with the code-page check, when it adds a
// character that Windows-1252 cannot carry to the unit or into a file.
// Texts set by the program are always accepted.
class TypingLimitValidator : public QValidator
{
    Q_OBJECT

public:
    // limit 0: no length limit.
    TypingLimitValidator(QLineEdit *edit, int limit, bool codePageCheck);

    State validate(QString &input, int &pos) const override;
    int limit() const { return m_limit; }

    // Installs a validator on the box and returns it.
    static TypingLimitValidator *install(QLineEdit *edit, int limit, bool codePageCheck = true);

private:
    QLineEdit *m_edit;
    int m_limit;
    bool m_codePageCheck;
    QString m_before; // the text before the edit under validation
};

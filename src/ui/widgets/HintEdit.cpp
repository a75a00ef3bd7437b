#include "ui/widgets/HintEdit.h"

namespace {
const QString HintStyle = QStringLiteral("font-style: italic; color: #a0a0a4");
const QString AlertStyle = QStringLiteral("background: #FFDDDD");
} // namespace

HintEdit::HintEdit(QWidget *parent) : QLineEdit(parent)
{
    // Any change of the content, typed or set by program, answers the alert
    // and makes the content the user's own.
    connect(this, &QLineEdit::textChanged, this, &HintEdit::alertOff);
    // A hint is no input: a validator refuses its spaces.
    connect(this, &QLineEdit::inputRejected, this, [this] {
        if (!settingHint)
            emit inputRefused();
    });
}

void HintEdit::setHint(const QString &text)
{
    hint = text;
}

QString HintEdit::userText() const
{
    return hintShown ? QString() : text();
}

void HintEdit::hintOn()
{
    // The user is typing here: a hint would end up in the input.
    if (hasFocus()) {
        hintOff();
        return;
    }
    settingHint = true;
    setText(hint);
    settingHint = false;
    setStyleSheet(HintStyle);
    hintShown = true;
}

void HintEdit::hintOff()
{
    clear();
    setStyleSheet(QString());
    hintShown = false;
}

void HintEdit::alertOn()
{
    setStyleSheet(AlertStyle);
    hintShown = false;
}

void HintEdit::alertOff()
{
    setStyleSheet(QString());
    hintShown = false;
}

void HintEdit::focusInEvent(QFocusEvent *event)
{
    if (hintShown)
        hintOff();
    QLineEdit::focusInEvent(event);
}

void HintEdit::focusOutEvent(QFocusEvent *event)
{
    if (userText().isEmpty())
        hintOn();
    QLineEdit::focusOutEvent(event);
}

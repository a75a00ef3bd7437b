#include "ui/widgets/RegExpSValidator.h"

#include <QRegularExpressionValidator>

RegExpSValidator::RegExpSValidator(const QRegularExpression &rx, QObject *parent)
    : QValidator(parent), inner(new QRegularExpressionValidator(rx, this))
{
}

QValidator::State RegExpSValidator::validate(QString &input, int &pos) const
{
    const State state = inner->validate(input, pos);
    // validate() is const in QValidator, but reporting a refusal does not
    // change what this validator accepts.
    if (state == Invalid)
        emit const_cast<RegExpSValidator *>(this)->inputModified();
    return state;
}

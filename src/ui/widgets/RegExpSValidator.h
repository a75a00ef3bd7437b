#pragma once

#include <QRegularExpression>
#include <QValidator>

class QRegularExpressionValidator;

// Regular-expression validator that reports every input it refuses, so that
// a form can tell the user a character was filtered.
class RegExpSValidator : public QValidator
{
    Q_OBJECT

public:
    explicit RegExpSValidator(const QRegularExpression &rx, QObject *parent = nullptr);

    State validate(QString &input, int &pos) const override;

signals:
    void inputModified();

private:
    QRegularExpressionValidator *inner;

    Q_DISABLE_COPY_MOVE(RegExpSValidator)
};

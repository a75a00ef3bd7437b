#pragma once

#include <QLineEdit>

// Line edit that shows a grey italic hint while it is empty and unfocused,
// and can mark its content as wrong with a red background. While the hint is
// shown, text() returns the hint; read the user's input through userText().
class HintEdit : public QLineEdit
{
    Q_OBJECT

public:
    explicit HintEdit(QWidget *parent = nullptr);

    void setHint(const QString &text);
    QString userText() const;

signals:
    // The user typed or pasted something the validator refused whole; the
    // content stayed as it was. The hint itself never counts.
    void inputRefused();

public slots:
    void hintOn();
    void hintOff();
    void alertOn();
    void alertOff();

protected:
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    QString hint;
    bool hintShown = false;
    bool settingHint = false;

    Q_DISABLE_COPY_MOVE(HintEdit)
};

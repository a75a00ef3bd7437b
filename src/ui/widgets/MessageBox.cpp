#include "ui/widgets/MessageBox.h"

#include <QList>

namespace {

struct Script
{
    bool active = false;
    QList<MessageBox::Button> answers;
    MessageBox::Button defaultAnswer = QMessageBox::NoButton;
    QStringList asked;
    std::function<void(QMessageBox &)> hook;
};

Script &script()
{
    static Script instance;
    return instance;
}

} // namespace

MessageBox::Button MessageBox::information(QWidget *parent, const QString &title,
                                           const QString &text, Buttons buttons,
                                           Button defaultButton)
{
    return ask(QMessageBox::Information, parent, title, text, buttons, defaultButton);
}

MessageBox::Button MessageBox::warning(QWidget *parent, const QString &title, const QString &text,
                                       Buttons buttons, Button defaultButton)
{
    return ask(QMessageBox::Warning, parent, title, text, buttons, defaultButton);
}

MessageBox::Button MessageBox::critical(QWidget *parent, const QString &title, const QString &text,
                                        Buttons buttons, Button defaultButton)
{
    return ask(QMessageBox::Critical, parent, title, text, buttons, defaultButton);
}

MessageBox::Button MessageBox::question(QWidget *parent, const QString &title, const QString &text,
                                        Buttons buttons, Button defaultButton)
{
    return ask(QMessageBox::Question, parent, title, text, buttons, defaultButton);
}

MessageBox::Button MessageBox::ask(QMessageBox::Icon icon, QWidget *parent, const QString &title,
                                   const QString &text, Buttons buttons, Button defaultButton)
{
    QMessageBox box(icon, title, text, buttons, parent);
    if (defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(defaultButton);
    return exec(box);
}

MessageBox::Button MessageBox::exec(QMessageBox &box)
{
    if (scripted())
        return answerScripted(box);
    const int result = box.exec();
    // As QMessageBox's static functions: a box closed without a button
    // (Escape without an escape button) counts as Cancel.
    if (result == -1)
        return QMessageBox::Cancel;
    return box.standardButton(box.clickedButton());
}

void MessageBox::open(QMessageBox *box)
{
    if (scripted()) {
        answerScripted(*box);
        return;
    }
    box->open();
}

bool MessageBox::scripted()
{
    return script().active;
}

MessageBox::Button MessageBox::answerScripted(QMessageBox &box)
{
    Script &current = script();
    current.asked << box.text();
    if (current.hook)
        current.hook(box);
    return current.answers.isEmpty() ? current.defaultAnswer : current.answers.takeFirst();
}

void MessageBox::setNextAnswer(Button answer)
{
    script().active = true;
    script().answers << answer;
}

void MessageBox::setDefaultAnswer(Button answer)
{
    script().active = true;
    script().defaultAnswer = answer;
}

QStringList MessageBox::askedTexts()
{
    return script().asked;
}

void MessageBox::setAskedHook(std::function<void(QMessageBox &box)> hook)
{
    script().active = true;
    script().hook = std::move(hook);
}

void MessageBox::resetScript()
{
    script() = Script();
}

#pragma once

#include "ui/widgets/MessageBox.h"

#include <QStringList>
#include <functional>

// While it exists no message box is shown: each is answered with `answer`
// (or an answer queued with MessageBox::setNextAnswer) and its text kept.
// `asked` runs while a box is pending, as the user would be reading it.
class ScriptedBoxes
{
public:
    explicit ScriptedBoxes(QMessageBox::StandardButton answer = QMessageBox::NoButton,
                           std::function<void(QMessageBox &)> asked = nullptr)
    {
        MessageBox::resetScript();
        MessageBox::setDefaultAnswer(answer);
        if (asked)
            MessageBox::setAskedHook(std::move(asked));
    }
    ~ScriptedBoxes() { MessageBox::resetScript(); }
    ScriptedBoxes(const ScriptedBoxes &) = delete;
    ScriptedBoxes &operator=(const ScriptedBoxes &) = delete;

    QStringList texts() const { return MessageBox::askedTexts(); }
};

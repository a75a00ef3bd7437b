#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QStringList>
#include <QTimer>
#include <functional>

// Answers every message box that comes up while it exists with `button`
// and keeps their texts, so a test can tell which questions were asked.
// With `ready`, a box is answered only once that returns true: the test
// can change the world while the user is being asked.
class ModalBoxAnswer : public QObject
{
public:
    explicit ModalBoxAnswer(QMessageBox::StandardButton button,
                            std::function<bool()> ready = nullptr)
    {
        connect(&poll, &QTimer::timeout, this, [this, button, ready] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box || !box->button(button) || (ready && !ready()))
                return;
            texts << box->text();
            box->button(button)->click();
        });
        poll.start(20);
    }

    QStringList texts;

private:
    QTimer poll;
};

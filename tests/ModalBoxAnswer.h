#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QStringList>
#include <QTimer>

// Answers every message box that comes up while it exists with `button`
// and keeps their texts, so a test can tell which questions were asked.
class ModalBoxAnswer : public QObject
{
public:
    explicit ModalBoxAnswer(QMessageBox::StandardButton button)
    {
        connect(&poll, &QTimer::timeout, this, [this, button] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box || !box->button(button))
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

#pragma once

#include "ui/support/SupportWdg.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QResource>
#include <QStackedWidget>
#include <QTextEdit>

// The program's pictures, from the built graphics resource file.
inline bool registerPictures()
{
    return QResource::registerResource(
        QDir(qEnvironmentVariable("QUILLNET_APP_DIR")).filePath(QStringLiteral("graphics.rcc")));
}

// Named access to the support form's controls.
struct SupportForm
{
    explicit SupportForm(QWidget *form) : form(form) {}

    template <typename T> T *child(const char *name) const
    {
        return form->findChild<T *>(QLatin1String(name));
    }
    QPushButton *sendBtn() const { return child<QPushButton>("sendBtn"); }
    QPushButton *menuBtn() const { return child<QPushButton>("menuBtn"); }
    QTextEdit *textEdit() const { return child<QTextEdit>("textEdit"); }
    QLineEdit *senderEdit() const { return child<QLineEdit>("senderEdit"); }
    QString page() const
    {
        return child<QStackedWidget>("stackedWidget")->currentWidget()->objectName();
    }
    // The text of the notice strip, empty while it is hidden.
    QString notice() const
    {
        auto *label = child<QWidget>("mailProgressLbl")->findChild<QLabel *>("textLabel");
        return label->isHidden() ? QString() : label->text();
    }

    void fill(const QString &text, const QString &address) const
    {
        textEdit()->setPlainText(text);
        senderEdit()->setText(address);
    }

    QWidget *form;
};

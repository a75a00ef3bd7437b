#include "ui/widgets/BindErrorBox.h"

#include <QMessageBox>

void showBindError(const QString &title, const QString &text)
{
    QMessageBox::critical(nullptr, title, text, QMessageBox::Ok);
}

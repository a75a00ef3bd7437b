#include "ui/widgets/BindErrorBox.h"

#include "ui/widgets/MessageBox.h"

void showBindError(const QString &title, const QString &text)
{
    MessageBox::critical(nullptr, title, text, QMessageBox::Ok);
}

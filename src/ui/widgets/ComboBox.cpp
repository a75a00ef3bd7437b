#include "ui/widgets/ComboBox.h"

ComboBox::ComboBox(QWidget *parent) : QComboBox(parent) {}

void ComboBox::hidePopup()
{
    emit popupHidden();
}

void ComboBox::closePopup()
{
    QComboBox::hidePopup();
    emit popupHidden();
}

#pragma once

#include <QComboBox>

// Combo box whose list stays open when Qt asks to close it (for instance
// after an item was picked); it only reports the request, so that its owner
// can act first and then close the list itself with closePopup().
class ComboBox : public QComboBox
{
    Q_OBJECT

public:
    explicit ComboBox(QWidget *parent = nullptr);

    void hidePopup() override;
    void closePopup();

signals:
    void popupHidden();

private:
    Q_DISABLE_COPY_MOVE(ComboBox)
};

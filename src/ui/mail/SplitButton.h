#pragma once

#include <QPushButton>
#include <QStringList>

class ComboBox;
class QFrame;
class QTimer;

// Push button with a drop-down arrow area on its right: a press there (or a
// long press elsewhere) opens the list of the user's aliases; a click on the
// text area confirms the alias shown.
class SplitButton : public QPushButton
{
    Q_OBJECT

public:
    explicit SplitButton(QWidget *parent = nullptr);

    // The alias shown on the button (empty while busy or without aliases).
    QString currentAlias() const;

public slots:
    void setCurrentIndex(int index);
    void setMailList(const QStringList &mailList, int index);
    void setBusy();
    void showPopup();
    void popupHidden();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void onHoldTimeout();

    QFrame *separator;
    ComboBox *combo;
    QTimer *holdTimer;

    Q_DISABLE_COPY_MOVE(SplitButton)
};

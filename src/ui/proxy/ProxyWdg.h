#pragma once

#include <QWidget>

class RememberedPasswords;

namespace Ui {
class ProxyWidget;
}

// The form on which the user chooses the proxy: none, the system's, or an
// own HTTP proxy with optional authorization. It edits the stored choice
// only when saveSettings() is called, so its owner decides when a change
// counts. The password is `passwords`' business, or without them the
// settings file's.
class ProxyWdg : public QWidget
{
    Q_OBJECT

public:
    explicit ProxyWdg(QWidget *parent = nullptr, RememberedPasswords *passwords = nullptr);
    ~ProxyWdg() override;

    void loadSettings();
    void saveSettings();

private slots:
    void on_noRadBtn_toggled(bool checked);

private:
    Ui::ProxyWidget *ui;
    RememberedPasswords *const passwords;

    Q_DISABLE_COPY_MOVE(ProxyWdg)
};

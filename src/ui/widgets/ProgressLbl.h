#pragma once

#include <QWidget>

class QLabel;
class QMovie;
class QTimer;

// Notice strip of the pages: an icon (or the busy animation) beside a text.
// It can hide itself after a while and tells its owner when it appears and
// disappears, so the owner can make room for it.
class ProgressLbl : public QWidget
{
    Q_OBJECT

public:
    explicit ProgressLbl(QWidget *parent = nullptr);

    void setAlignment(Qt::Alignment alignment);
    void setWordWrap(bool on);

    // Set by the owning window while its notices must not be disturbed.
    bool muted = false;

signals:
    void statusHidden();
    void statusShown();

public slots:
    void hideStatus();
    void setStatus(const QString &icon, const QString &text, int ms);
    void setStatus(const QString &icon, const QString &text);
    void setBusy(const QString &text, int ms);
    void setBusy(const QString &text);
    void setAlert(const QString &text, int ms);
    void setAlert(const QString &text);
    void setOk(const QString &text, int ms);
    void setOk(const QString &text);
    void setInfo(const QString &text, int ms);
    void setInfo(const QString &text);

private:
    void showIcon(const QString &icon);

    QLabel *textLabel;
    QLabel *iconLabel;
    QTimer *hideTimer;
    QMovie *movie = nullptr;

    Q_DISABLE_COPY_MOVE(ProgressLbl)
};

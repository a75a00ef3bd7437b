#pragma once

#include "ui/widgets/AnimStatus.h"

#include <QLabel>

class QTimer;

// One-line status sentence, optionally followed by a run of one to three
// dots while an operation is under way; it can hide itself after a while.
//
// The member `text` hides QLabel::text(); read the shown text through a
// QLabel pointer or as QLabel::text().
class StatusLbl : public QLabel
{
    Q_OBJECT

public:
    explicit StatusLbl(QWidget *parent = nullptr);

public slots:
    void setStatus(const QString &text, int anim, int ms);
    void setStatus(const QString &text, int anim);
    void setStatus(const QString &text);
    void clearStatus();
    void refreshDots();

private:
    AnimStatus anim = AutoAnim;
    QString text;
    int dots = 0;
    QTimer *dotsTimer;
    QTimer *hideTimer;

    Q_DISABLE_COPY_MOVE(StatusLbl)
};

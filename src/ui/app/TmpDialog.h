#pragma once

#include <QDialog>

// Base of the program's short-lived dialogs: while one exists it is among
// the OpenDialogs (so that hiding and showing the program take it along)
// and reports its activation there; closed in any way, it deletes itself.
class TmpDialog : public QDialog
{
    Q_OBJECT

public:
    explicit TmpDialog(QWidget *parent = nullptr);
    ~TmpDialog() override;

public slots:
    void reject() override;
    void accept() override;

protected:
    bool event(QEvent *e) override;
    void closeEvent(QCloseEvent *e) override;

private:
    Q_DISABLE_COPY_MOVE(TmpDialog)
};

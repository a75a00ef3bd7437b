#pragma once

#include "vpn/CnnStatus.h"

#include <QObject>
#include <QString>

// The tunnel controller: owns the OpenVPN child process and reports the
// tunnel's state. One instance per process, created at start-up.
class VPNConnection : public QObject
{
    Q_OBJECT

public:
    explicit VPNConnection(QObject *parent = nullptr);
    ~VPNConnection() override;

    CnnStatus getStatus() const { return status; }

    // Ends a running tunnel; `silent` suppresses the status report.
    void stop(bool silent);

signals:
    void statusChanged(CnnStatus status, QString text);
    void error(QString text);

private:
    CnnStatus status = Disconnected;
};

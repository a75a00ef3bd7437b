#include "vpn/VPNConnection.h"

VPNConnection::VPNConnection(QObject *parent) : QObject(parent)
{
    qRegisterMetaType<CnnStatus>("CnnStatus");
}

VPNConnection::~VPNConnection() = default;

void VPNConnection::stop(bool silent)
{
    if (status == Disconnected)
        return;
    status = Disconnected;
    if (!silent)
        emit statusChanged(status, QString());
}

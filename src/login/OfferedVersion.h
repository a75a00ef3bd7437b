#pragma once

#include <QString>

class QUrl;

// The version that an update's download address names in its file name, as
// packages and archives are named ("quillnet_2.1.0_amd64.deb",
// "quillnet-2.1.tar.gz"): the service's answer carries nothing else.
// Digits and dots only; empty when the name holds no version.
QString offeredVersion(const QUrl &download);

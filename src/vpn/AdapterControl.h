#pragma once

#include <QString>

// The tunnel's virtual network adapter: switching it with the installer
// tool "adapter/tapinstall" of the app folder, and its register of service
// flags (bit 1: the web filter runs, bit 2: the mail proxy runs).
//
// The adapter is switched off at log-out and at shut-down only when this
// process switched it on. Each installer run blocks for up to 30 s; the
// exit codes are returned but nobody needs them: a missing adapter shows
// up in OpenVPN's own output.
int enableAdapter();
int disableAdapter();
int restartAdapter();

// The flag byte of the adapter, 0xFF when it cannot be reached. The flags
// only tell other programs which of the client's services run: the client
// never reads them, so a write that fails costs no service. The writers
// return whether the byte was stored.
quint8 getAdapterFlags(const QString &adapter);
[[nodiscard]] bool setAdapterFlags(const QString &adapter, quint8 value);
[[nodiscard]] bool setAdapterFlag(const QString &adapter, quint8 bit);
[[nodiscard]] bool clearAdapterFlag(const QString &adapter, quint8 bit);

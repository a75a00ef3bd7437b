#pragma once

#include <QString>

// The one-byte register of service flags kept per tunnel adapter. On
// Windows the adapter's driver keeps it behind a control device; Linux has
// no such driver, so the byte lives in a file of the user's private runtime
// folder (normally $XDG_RUNTIME_DIR/quillnet/<adapter>.flags), where other
// programs of the user and the tests can observe it.
class AdapterFlagRegister
{
public:
    static constexpr int Unreachable = 0xFF;

    // The flag byte; Unreachable when no adapter is known or the register
    // cannot be used. A register never written reads as 0.
    static int read(const QString &adapter);
    // True when the byte was stored.
    [[nodiscard]] static bool write(const QString &adapter, quint8 value);

    // In the user's private runtime folder; empty when there is none.
    static QString path(const QString &adapter);
};

#pragma once

#include <QByteArray>

// The credential prompts OpenVPN writes to its console. A prompt ends
// without a line break, so it is recognised at the front of the output not
// yet consumed as lines.
enum class ConsolePrompt
{
    None,
    AuthUsername,
    AuthPassword,
    ProxyUsername,
    ProxyPassword
};

struct PromptMatch
{
    ConsolePrompt prompt = ConsolePrompt::None;
    int length = 0; // bytes of the prompt text to consume
};

// The prompt at the front of `pending`; None while it is incomplete or
// anything else is there.
PromptMatch promptAt(const QByteArray &pending);

// Passwords are typed with echo off: the answer must wait until the
// terminal has switched echo off, or the switch throws it away.
inline bool isSecret(ConsolePrompt prompt)
{
    return prompt == ConsolePrompt::AuthPassword || prompt == ConsolePrompt::ProxyPassword;
}

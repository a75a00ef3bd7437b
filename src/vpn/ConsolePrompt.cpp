#include "vpn/ConsolePrompt.h"

PromptMatch promptAt(const QByteArray &pending)
{
    static const struct
    {
        ConsolePrompt prompt;
        QByteArray text;
    } prompts[] = {
        {ConsolePrompt::AuthUsername, QByteArrayLiteral("Enter Auth Username:")},
        {ConsolePrompt::AuthPassword, QByteArrayLiteral("Enter Auth Password:")},
        {ConsolePrompt::ProxyUsername, QByteArrayLiteral("Enter HTTP Proxy Username:")},
        {ConsolePrompt::ProxyPassword, QByteArrayLiteral("Enter HTTP Proxy Password:")},
    };
    for (const auto &candidate : prompts) {
        if (pending.startsWith(candidate.text))
            return {candidate.prompt, int(candidate.text.size())};
    }
    return {};
}

#pragma once

#include <QString>

// The one home of the patterns that judge what a user types (or a service
// sends) as an address, an alias or an account word. Whole patterns are
// meant to be anchored by the caller (QRegularExpression::anchoredPattern,
// or a validator, which matches the whole text).
namespace InputPatterns {

// Dot-separated runs of letters, digits, '_' and '-': an alias, and the part
// of an address before its '@'. One capture group (the dotted runs).
QString localPart();
// Dot-separated runs ending in a run of letters only. One capture group.
QString domain();
// localPart '@' domain: a contact, reply or forwarding address.
QString address();

// What the edits let through while typing; the whole text is judged by the
// patterns above when it is used.
QString aliasTyping();   // alias field: at least one character, no '@'
QString addressTyping(); // address fields: may be empty

// A user name or password: letters and digits only.
QString accountWord();

} // namespace InputPatterns

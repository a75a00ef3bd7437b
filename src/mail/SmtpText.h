#pragma once

#include <QString>

// Rules for text that becomes part of an SMTP command or a header line.
namespace SmtpText {

// False when `text` could end its line and start another (CR, LF, NUL), or,
// for an address, leave its angle brackets: the text may come from the
// service or from a mail program and must not add commands or fields.
bool fitsOnOneLine(const QString &text, bool isAddress);

} // namespace SmtpText

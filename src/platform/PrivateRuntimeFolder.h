#pragma once

#include <QString>

// The user's own folder for files of a running client (the instance lock,
// the adapter's flag register): "$XDG_RUNTIME_DIR/quillnet", created 0700
// and checked to be a real folder this user owns, so that no other account
// can create, replace or hold anything in it. Without a usable
// XDG_RUNTIME_DIR (unset, relative, or not this user's) the working folder,
// which the launcher keeps private, takes its place: a path is never built
// on an empty base.
class PrivateRuntimeFolder
{
public:
    // Empty, with the reason in `error`, when no such folder can be had.
    static QString path(QString *error = nullptr);

    // Makes `folder` (its parent must exist) a 0700 folder of this user, or
    // says why it is not one.
    static bool makePrivate(const QString &folder, QString *error);
};

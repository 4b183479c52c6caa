#pragma once

// Writing a whole file so that a reader never sees half of it: the bytes go to a temporary file
// beside the target, which is renamed over the target only when every byte was written. A write
// that fails for any reason (a missing or read-only folder, a full disk, a target that is not a
// regular file) leaves an existing file as it was and no temporary file behind.

#include <QByteArray>
#include <QString>

#include <string>

// Writes the bytes as the whole content of the file; answers whether they are all in place. On
// failure `error`, when given, receives the file system's reason.
bool WriteFileAtomically(
    const QString& fileName, const QByteArray& bytes, QString* error = nullptr);
// The same for bytes held in a standard string.
bool WriteFileAtomically(
    const QString& fileName, const std::string& bytes, QString* error = nullptr);

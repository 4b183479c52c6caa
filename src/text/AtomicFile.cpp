#include "AtomicFile.h"

#include <QSaveFile>

bool WriteFileAtomically(const QString& fileName, const QByteArray& bytes, QString* error) {
    // Unbuffered, so that a short write (a full disk) shows in the count written: a buffered
    // QSaveFile can commit a file cut short by a flush that wrote only part of the buffer.
    QSaveFile file(fileName);
    const auto failed = [&] {
        if (error)
            *error = file.errorString();
        file.cancelWriting();
        return false;
    };
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return failed();
    if (file.write(bytes) != bytes.size())
        return failed();
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

bool WriteFileAtomically(const QString& fileName, const std::string& bytes, QString* error) {
    return WriteFileAtomically(
        fileName, QByteArray::fromRawData(bytes.data(), qsizetype(bytes.size())), error);
}

#include "SingleInstance.h"

#include <QDir>
#include <QLockFile>

TSingleInstance::TSingleInstance(const QString& folder)
    : m_Lock(
        std::make_unique<QLockFile>(QDir(folder).filePath(QStringLiteral("Wintermoot.lock")))) {
    // A running copy's lock never goes stale by age; a lock left by a copy that crashed names a
    // process that is gone, and Qt takes it over.
    m_Lock->setStaleLockTime(0);
    if (m_Lock->tryLock(0))
        return;
    m_First = m_Lock->error() != QLockFile::LockFailedError;
}

TSingleInstance::~TSingleInstance() = default;

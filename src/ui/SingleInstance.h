#pragma once

// The single-instance test: a lock file in the user's config folder. A second copy started
// while the first runs finds the lock held and ends before it reads or writes any other file.

#include <QString>

#include <memory>

class QLockFile;

class TSingleInstance {
public:
    // Tries to take the lock in the given folder.
    explicit TSingleInstance(const QString& folder);
    ~TSingleInstance();
    // False when another running copy holds the lock. A lock that cannot be created at all
    // (an unwritable folder) lets the program run.
    bool IsFirst() const { return m_First; }

private:
    std::unique_ptr<QLockFile> m_Lock;
    bool m_First = true;
};

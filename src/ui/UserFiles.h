#pragma once

// The user's own files as the windows write them: the history, the settings, the window layout
// and the themes. Every save goes through SaveUserFile, which reports a failed save once per
// file and cause (message E14) and lets the program go on. A file that was there but could not
// be read is never written over before the user has been told why and the file has been moved
// aside; a history of a newer version is never written at all. Main thread only.

#include "UnitHistory.h"
#include "UnitMessages.h"

#include <QString>

#include <functional>
#include <map>
#include <vector>

class TUserFiles {
public:
    // A file that could not be read completely: error `message` (with the path) tells the user
    // once, at the latest before the first save of that path, which first moves the file aside.
    void KeepUnreadable(const QString& path, TErrorMessage message);
    // A file this program must not replace (a newer version's history): error `message` tells
    // the user once, and every later save of that path is refused without another word.
    void KeepUntouched(const QString& path, TErrorMessage message);
    // Shows the messages of the files above that the user has not been told of yet.
    void TellPending();
    // Whether a save may write the path now. A file kept as unreadable is told of if need be,
    // then renamed to "<name>.unreadable-YYYYMMDD-HHMMSS" (local time), and notice M8 says where
    // it went; a failed rename is reported like a failed save and refuses the save.
    bool MayWrite(const QString& path);
    // Reports a failed save (E14 with the path) unless the same file already failed for the same
    // cause; a save that worked lets the next failure of that file be reported again. Answers
    // `saved`.
    bool Saved(const QString& path, bool saved);
    // Forgets every file (for tests, which use one program-wide instance).
    void Clear();

private:
    struct TKept {
        QString Path;
        TErrorMessage Message {};
        bool Untouched = false;
        bool Told = false;
    };
    TKept* Find(const QString& path);
    void Tell(TKept& kept);

    std::vector<TKept> m_Kept;
    // The cause of the last failed save of each file.
    std::map<QString, QString> m_Failed;
};

// The program's one instance.
TUserFiles& UserFiles();

// Runs `save` when the path may be written, and reports a failure. Answers whether it was saved.
bool SaveUserFile(const QString& path, const std::function<bool()>& save);

// The history file as the main window reads and writes it: a history read only in part (or a
// file that is no history) is kept aside before it is saved over, one of a newer version is
// never written. An empty file holds nothing to keep and is simply replaced.
THistoryLoad LoadHistoryFile(THistory& history, const QString& path);
bool SaveHistoryFile(const THistory& history, const QString& path);

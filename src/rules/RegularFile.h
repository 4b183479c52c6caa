#pragma once

// The one check every reader of the user's files makes before it opens one. Opening a FIFO for
// reading waits until something writes to it, and a device or a folder is no file of this
// program: only a regular file (reached through any symbolic links) is opened.

#include <string>

enum class TFileCheck { Regular, Missing, NotRegular };

// What the path names: a regular file, nothing, or something else (a FIFO, a device, a socket,
// a folder, a link that leads nowhere regular).
TFileCheck CheckFileToRead(const std::string& path);
// Whether the path names a regular file.
bool IsRegularFile(const std::string& path);

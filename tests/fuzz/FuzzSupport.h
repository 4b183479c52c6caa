#pragma once

// What the fuzz targets share: the Qt application the readers need, scratch files for the
// readers that only read from a path, and the failure of a check that the sanitizers cannot see.

#include <QString>

#include <cstddef>
#include <cstdint>
#include <string>

// Creates the QCoreApplication once, from LLVMFuzzerInitialize.
void InitFuzzApplication(int* argc, char*** argv);

// A path in this process's scratch folder (on tmpfs when there is one). With `unique` each call
// gives a new name, for readers that cache what they read by file name (QSettings); the caller
// removes the file when done.
QString ScratchPath(const char* name, bool unique = false);
// Writes the bytes to the path, replacing the file; aborts when it cannot.
void WriteScratch(const QString& path, const uint8_t* data, size_t size);
std::string ReadScratch(const QString& path);

// Reports a broken check (a round trip that changed the data, a state out of step) and aborts,
// so that libFuzzer keeps the input as a crash.
[[noreturn]] void FuzzFail(const std::string& what);

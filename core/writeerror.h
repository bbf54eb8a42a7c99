#pragma once
// Why a picture or catalog could not be written. Translated into words once, where a person sees it.

#include <QString>

enum class WriteError {
    None,
    OpenFailed,     // the source could not be opened for reading
    Locked,         // the file is read-only: locked by its owner or not ours to write
    ShortRead,      // the source gave fewer bytes than it holds
    NotWalkable,    // the source's segments cannot be walked to the start of scan
    TooLarge,       // a value or the picture data does not fit into the format's limits
    CreateFailed,   // the temporary file could not be created (permissions, disk)
    WriteFailed,    // writing or flushing the temporary file failed (disk full)
    VerifyFailed,   // the written file did not read back as intended
    ReplaceFailed,  // the temporary file could not take the original's place
    Busy,           // another writer of this program held the file longer than a writer waits
};

struct WriteResult {
    WriteError error = WriteError::None;
    QString detail;  // the system's words or the offending field, when there are any
    bool ok() const { return error == WriteError::None; }
    explicit operator bool() const { return ok(); }
};

QString describe(WriteError error);
// "reason: detail" for a person.
QString describe(const WriteResult& result);

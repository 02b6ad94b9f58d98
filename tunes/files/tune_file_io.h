#pragma once

#include "tunes/files/tune_file.h"

#include <QSaveFile>
#include <QString>

#include <optional>
#include <variant>

namespace tuner {

// A tune file found by the name a user gave (its bytes, on Linux), or the sentence that says
// why it cannot be read, with the name shown escaped: "Cannot read street.json: No such file or
// directory." A folder, a device, a FIFO or a terminal is never opened.
std::variant<TuneFile, QString> ReadTuneFile(const QString &name);

// The file a tune goes to. Open makes sure it can be written before anything is asked of a
// controller; Commit replaces the old file only once the whole new text is on the disk, and on
// any failure the old file keeps its bytes. Each gives the sentence that says why not.
class TuneFileTarget {
public:
    std::optional<QString> Open(const QString &name);
    std::optional<QString> Commit(const TuneFile &tune);

private:
    QSaveFile m_file;
};

} // namespace tuner

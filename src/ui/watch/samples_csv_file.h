// "Сохранить CSV…": recorded samples written to a file the user picks, one row per sample or,
// chosen by the file type, one column per property. The file appears only when it is complete.
#pragma once

#include <QString>
#include <vector>

#include "net/monitor/sample_csv.h"

class QWidget;

// Writes the samples to `path` through a temporary file renamed when complete; false with
// `error` set when the file cannot be written (an existing file is then left as it was).
bool WriteSamplesCsvFile(const QString& path, const std::vector<const RecordedSeries*>& series,
                         CsvForm form, QString* error);

// Asks for the file and its form, writes it, and shows an error when writing fails. True when a
// file was written.
bool SaveSamplesAsCsv(QWidget* parent, const std::vector<const RecordedSeries*>& series);

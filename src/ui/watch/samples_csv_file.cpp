#include "ui/watch/samples_csv_file.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QSaveFile>

#include "ui/app/modal_runner.h"

namespace {

QString CannotWrite(const QString& path, const QString& cause) {
  return QCoreApplication::translate("SamplesCsv", "Не удалось записать %1: %2").arg(path, cause);
}

}  // namespace

bool WriteSamplesCsvFile(const QString& path, const std::vector<const RecordedSeries*>& series,
                         CsvForm form, QString* error) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) {
    *error = CannotWrite(path, file.errorString());
    return false;
  }
  bool ok = true;
  WriteSamplesCsv(series, form, [&](std::string_view row) {
    if (ok && file.write(row.data(), qint64(row.size())) != qint64(row.size())) ok = false;
  });
  if (!ok || !file.commit()) {
    *error = CannotWrite(path, file.errorString());
    file.cancelWriting();
    return false;
  }
  return true;
}

bool SaveSamplesAsCsv(QWidget* parent, const std::vector<const RecordedSeries*>& series) {
  QFileDialog dlg(parent, QCoreApplication::translate("SamplesCsv", "Сохранить CSV"));
  dlg.setObjectName(QStringLiteral("csvDialog"));
  dlg.setAcceptMode(QFileDialog::AcceptSave);
  const QString longForm =
      QCoreApplication::translate("SamplesCsv", "CSV, строка на отсчёт (*.csv)");
  const QString wideForm =
      QCoreApplication::translate("SamplesCsv", "CSV, столбец на свойство (*.csv)");
  dlg.setNameFilters({longForm, wideForm});
  dlg.setDefaultSuffix(QStringLiteral("csv"));
  dlg.setOption(QFileDialog::DontUseNativeDialog);
  dlg.selectFile(QStringLiteral("samples.csv"));
  if (RunModal(dlg) != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return false;
  CsvForm form = dlg.selectedNameFilter() == wideForm ? CsvForm::kWide : CsvForm::kLong;
  QString error;
  if (!WriteSamplesCsvFile(dlg.selectedFiles().first(), series, form, &error)) {
    ShowError(parent, QStringLiteral("Kandrel"), error);
    return false;
  }
  return true;
}

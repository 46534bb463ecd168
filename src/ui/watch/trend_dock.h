// A trend: chosen numeric properties of the watch list drawn as lines over the last minutes,
// from the samples the watch list records. The plot is redrawn a few times a second, not per
// sample, so a busy server costs the same as a quiet one. "Пауза" holds the picture (recording
// goes on); the mouse wheel zooms the time axis (around the pointer while paused, else the span
// that ends now); "Сбросить масштаб" returns to the chosen span; the value axis follows what is
// shown. "Сохранить CSV…" writes what was recorded of the trend's properties.
#pragma once

#include <QDockWidget>
#include <QPointer>
#include <QTimer>
#include <cstdint>
#include <vector>

class CWatchModel;
class QAction;
class QChart;
class QChartView;
class QComboBox;
class QDateTimeAxis;
class QLineSeries;
class QValueAxis;

class CTrendDock : public QDockWidget {
  Q_OBJECT
 public:
  // Redraws a second.
  static constexpr int kRedrawMs = 200;

  CTrendDock(CWatchModel* model, std::vector<uint32_t> ids, const QString& title,
             QWidget* parent = nullptr);
  ~CTrendDock() override;

  // The properties drawn (those still watched).
  std::vector<uint32_t> ids() const { return ids_; }
  bool paused() const { return paused_; }
  void SetPaused(bool paused);
  // The time axis's range, milliseconds since the epoch.
  int64_t from() const { return from_; }
  int64_t to() const { return to_; }
  // Zooms the time axis by `factor` (below 1: in) around `centre` (ms since the epoch; used
  // while paused).
  void Zoom(double factor, double centre);
  void ResetZoom();
  // Takes the samples into the lines now.
  void Redraw();
  QChart* chart() const { return chart_; }
  QChartView* chartView() const { return view_; }

 private:
  void OnTick();
  void OnSpanChosen(int index);
  void SaveCsv();
  int64_t ChosenSpan() const;

  QPointer<CWatchModel> model_;
  std::vector<uint32_t> ids_;
  std::vector<QLineSeries*> lines_;  // one per identifier
  QChart* chart_;
  QChartView* view_;
  QDateTimeAxis* timeAxis_;
  QValueAxis* valueAxis_;
  QComboBox* spanBox_;
  QAction* pauseAction_;
  QTimer redraw_;
  bool paused_ = false;
  int64_t span_ = 0;  // ms shown while following the present
  int64_t from_ = 0;
  int64_t to_ = 0;
};

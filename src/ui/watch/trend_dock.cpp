#include "ui/watch/trend_dock.h"

#include <QAction>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QLineSeries>
#include <QToolBar>
#include <QVBoxLayout>
#include <QValueAxis>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <functional>

#include "ui/watch/samples_csv_file.h"
#include "ui/watch/trend_points.h"
#include "ui/watch/watch_model.h"
#include "xml/text_codec.h"

namespace {

constexpr int64_t kShortestSpanMs = 2000;
constexpr int64_t kLongestSpanMs = 24 * 3600 * 1000;
constexpr int kSpanMinutes[] = {1, 5, 15, 60};
constexpr int kDefaultSpanIndex = 1;

// A legend has little room: the atom and the property name say which value a line is.
QString LegendName(const QString& path) {
  QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
  return parts.size() > 2 ? parts.mid(parts.size() - 2).join(QLatin1Char('/')) : path;
}

// The chart view hands the wheel to the trend: one notch zooms by a fifth.
class TrendChartView : public QChartView {
 public:
  using WheelHandler = std::function<void(double factor, const QPoint& at)>;
  TrendChartView(QChart* chart, QWidget* parent) : QChartView(chart, parent) {}
  void SetWheelHandler(WheelHandler handler) { onWheel_ = std::move(handler); }

 protected:
  void wheelEvent(QWheelEvent* event) override {
    int delta = event->angleDelta().y();
    if (delta == 0 || !onWheel_) return QChartView::wheelEvent(event);
    onWheel_(std::pow(0.8, delta / 120.0), event->position().toPoint());
    event->accept();
  }

 private:
  WheelHandler onWheel_;
};

}  // namespace

CTrendDock::CTrendDock(CWatchModel* model, std::vector<uint32_t> ids, const QString& title,
                       QWidget* parent)
    : QDockWidget(title, parent), model_(model), ids_(std::move(ids)), chart_(new QChart) {
  setObjectName(QStringLiteral("trendDock"));
  setAttribute(Qt::WA_DeleteOnClose);
  auto* body = new QWidget(this);
  auto* layout = new QVBoxLayout(body);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  auto* bar = new QToolBar(body);
  bar->setObjectName(QStringLiteral("trendBar"));
  spanBox_ = new QComboBox(bar);
  spanBox_->setObjectName(QStringLiteral("trendSpan"));
  for (int minutes : kSpanMinutes) spanBox_->addItem(tr("%1 мин").arg(minutes), minutes);
  spanBox_->setCurrentIndex(kDefaultSpanIndex);
  spanBox_->setToolTip(tr("Сколько последних минут показывает тренд"));
  bar->addWidget(spanBox_);
  pauseAction_ = bar->addAction(tr("Пауза"));
  pauseAction_->setObjectName(QStringLiteral("trendPause"));
  pauseAction_->setCheckable(true);
  pauseAction_->setToolTip(tr("Остановить картину; значения записываются дальше"));
  connect(pauseAction_, &QAction::toggled, this, &CTrendDock::SetPaused);
  QAction* reset = bar->addAction(tr("Сбросить масштаб"), this, &CTrendDock::ResetZoom);
  reset->setObjectName(QStringLiteral("trendResetZoom"));
  QAction* save = bar->addAction(tr("Сохранить CSV…"), this, &CTrendDock::SaveCsv);
  save->setObjectName(QStringLiteral("trendSaveCsv"));
  layout->addWidget(bar);

  chart_->setAnimationOptions(QChart::NoAnimation);
  chart_->legend()->setAlignment(Qt::AlignBottom);
  chart_->setMargins(QMargins(4, 4, 4, 4));
  timeAxis_ = new QDateTimeAxis(chart_);
  timeAxis_->setFormat(QStringLiteral("HH:mm:ss"));
  timeAxis_->setTickCount(5);
  valueAxis_ = new QValueAxis(chart_);
  chart_->addAxis(timeAxis_, Qt::AlignBottom);
  chart_->addAxis(valueAxis_, Qt::AlignLeft);
  for (uint32_t id : ids_) {
    auto* line = new QLineSeries(chart_);
    const RecordedSeries* series = model_ ? model_->SeriesOf(id) : nullptr;
    line->setName(series ? LegendName(FromCp1251(series->path)) : QString::number(id));
    chart_->addSeries(line);
    line->attachAxis(timeAxis_);
    line->attachAxis(valueAxis_);
    lines_.push_back(line);
  }
  auto* view = new TrendChartView(chart_, body);
  view->setObjectName(QStringLiteral("trendChart"));
  view->setRenderHint(QPainter::Antialiasing);
  view->SetWheelHandler([this](double factor, const QPoint& at) {
    QPointF value = chart_->mapToValue(chart_->mapFromScene(view_->mapToScene(at)),
                                       lines_.empty() ? nullptr : lines_.front());
    Zoom(factor, value.x());
  });
  view_ = view;
  layout->addWidget(view_, 1);
  setWidget(body);

  connect(spanBox_, &QComboBox::currentIndexChanged, this, &CTrendDock::OnSpanChosen);
  span_ = ChosenSpan();
  redraw_.setInterval(kRedrawMs);
  connect(&redraw_, &QTimer::timeout, this, &CTrendDock::OnTick);
  redraw_.start();
  Redraw();
}

CTrendDock::~CTrendDock() = default;

int64_t CTrendDock::ChosenSpan() const {
  return int64_t(spanBox_->currentData().toInt()) * 60 * 1000;
}

void CTrendDock::OnTick() {
  // A hidden or held trend draws nothing; its samples are recorded all the same.
  if (paused_ || !isVisible()) return;
  Redraw();
}

void CTrendDock::SetPaused(bool paused) {
  if (paused == paused_) return;
  paused_ = paused;
  if (pauseAction_->isChecked() != paused) pauseAction_->setChecked(paused);
  pauseAction_->setText(paused ? tr("Продолжить") : tr("Пауза"));
  // Going on follows the present again, with the span that was zoomed to.
  if (!paused) {
    span_ = std::max<int64_t>(to_ - from_, kShortestSpanMs);
    Redraw();
  }
}

void CTrendDock::OnSpanChosen(int) {
  ResetZoom();
}

void CTrendDock::ResetZoom() {
  span_ = ChosenSpan();
  if (paused_) from_ = to_ - span_;
  Redraw();
}

void CTrendDock::Zoom(double factor, double centre) {
  if (!(factor > 0)) return;
  if (paused_) {
    // Around the pointer: the moment under it stays where it is.
    double c = std::clamp(centre, double(from_), double(to_));
    double span =
        std::clamp(double(to_ - from_) * factor, double(kShortestSpanMs), double(kLongestSpanMs));
    double left = (c - double(from_)) / double(std::max<int64_t>(to_ - from_, 1));
    from_ = int64_t(c - span * left);
    to_ = from_ + int64_t(span);
  } else {
    // Following the present: the span ending now grows or shrinks.
    span_ = int64_t(
        std::clamp(double(span_) * factor, double(kShortestSpanMs), double(kLongestSpanMs)));
  }
  Redraw();
}

void CTrendDock::Redraw() {
  if (!paused_) {
    to_ = QDateTime::currentMSecsSinceEpoch();
    from_ = to_ - span_;
  }
  // Two points for every two pixels across are as much as the plot can show.
  int slices = std::max(50, int(chart_->plotArea().width()) / 2);
  bool any = false;
  double low = 0, high = 0;
  for (size_t i = lines_.size(); i-- > 0;) {
    const RecordedSeries* series = model_ ? model_->SeriesOf(ids_[i]) : nullptr;
    if (!series) {
      // No longer watched (or no longer a number): its line goes.
      chart_->removeSeries(lines_[i]);
      delete lines_[i];
      lines_.erase(lines_.begin() + std::ptrdiff_t(i));
      ids_.erase(ids_.begin() + std::ptrdiff_t(i));
      continue;
    }
    TrendPoints points = PointsInSpan(series->samples, from_, to_, slices);
    lines_[i]->replace(points.points);
    if (points.any) {
      low = any ? std::min(low, points.low) : points.low;
      high = any ? std::max(high, points.high) : points.high;
      any = true;
    }
  }
  timeAxis_->setRange(QDateTime::fromMSecsSinceEpoch(from_), QDateTime::fromMSecsSinceEpoch(to_));
  if (!any) {
    low = 0;
    high = 1;
  }
  // A little room above and below; a flat line sits in the middle.
  double margin = high > low ? (high - low) * 0.05 : std::max(1.0, std::abs(high) * 0.05);
  valueAxis_->setRange(low - margin, high + margin);
  valueAxis_->applyNiceNumbers();  // ticks on round values
}

void CTrendDock::SaveCsv() {
  if (!model_) return;
  std::vector<const RecordedSeries*> series;
  for (uint32_t id : ids_)
    if (const RecordedSeries* s = model_->SeriesOf(id)) series.push_back(s);
  SaveSamplesAsCsv(this, series);
}

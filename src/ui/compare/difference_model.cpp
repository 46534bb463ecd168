#include "ui/compare/difference_model.h"

#include <QCoreApplication>
#include <QPainter>
#include <QPixmap>
#include <algorithm>
#include <string_view>

#include "xml/text_codec.h"

namespace {

const char* const kKindTexts[] = {
    QT_TRANSLATE_NOOP("CDifferenceModel", "удалено"),
    QT_TRANSLATE_NOOP("CDifferenceModel", "добавлено"),
    QT_TRANSLATE_NOOP("CDifferenceModel", "изменено"),
    QT_TRANSLATE_NOOP("CDifferenceModel", "перемещено"),
};

const char* const kFieldTexts[] = {
    QT_TRANSLATE_NOOP("CDifferenceModel", "имя"),
    QT_TRANSLATE_NOOP("CDifferenceModel", "тип"),
    QT_TRANSLATE_NOOP("CDifferenceModel", "флаги"),
    "EOC",
    QT_TRANSLATE_NOOP("CDifferenceModel", "значение"),
    QT_TRANSLATE_NOOP("CDifferenceModel", "шаблон"),
    QT_TRANSLATE_NOOP("CDifferenceModel", "ссылка"),
};

// The symbol drawn into each kind's icon.
const char kSymbols[] = {'-', '+', '~', '>'};

}  // namespace

QColor DifferenceColor(DifferenceKind kind) {
  switch (kind) {
    case DifferenceKind::kRemoved:
      return QColor(0xc6, 0x28, 0x28);
    case DifferenceKind::kAdded:
      return QColor(0x2e, 0x7d, 0x32);
    case DifferenceKind::kChanged:
      return QColor(0xc7, 0x6a, 0x00);
    case DifferenceKind::kMoved:
      return QColor(0x6a, 0x1b, 0x9a);
  }
  return {};
}

QColor DifferenceTint(DifferenceKind kind) {
  QColor c = DifferenceColor(kind);
  // A fifth of the colour over white.
  return QColor(255 - (255 - c.red()) / 5, 255 - (255 - c.green()) / 5, 255 - (255 - c.blue()) / 5);
}

QIcon DifferenceIcon(DifferenceKind kind) {
  // Drawn once per kind: a rounded square of the kind's colour with its symbol.
  static QIcon icons[kDifferenceKindCount];
  QIcon& icon = icons[int(kind)];
  if (icon.isNull()) {
    for (int size : {16, 32}) {
      QPixmap pixmap(size, size);
      pixmap.fill(Qt::transparent);
      QPainter p(&pixmap);
      p.setRenderHint(QPainter::Antialiasing);
      p.setPen(Qt::NoPen);
      p.setBrush(DifferenceColor(kind));
      qreal r = size / 8.0;
      p.drawRoundedRect(QRectF(r / 2, r / 2, size - r, size - r), r * 1.5, r * 1.5);
      QPen pen(Qt::white, size / 8.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
      p.setPen(pen);
      qreal a = size * 0.3, b = size * 0.7, m = size * 0.5;
      switch (kSymbols[int(kind)]) {
        case '+':
          p.drawLine(QPointF(m, a), QPointF(m, b));
          [[fallthrough]];
        case '-':
          p.drawLine(QPointF(a, m), QPointF(b, m));
          break;
        case '~':
          p.drawLine(QPointF(a, size * 0.38), QPointF(b, size * 0.38));
          p.drawLine(QPointF(a, size * 0.62), QPointF(b, size * 0.62));
          break;
        default:  // '>': an arrow
          p.drawLine(QPointF(a, m), QPointF(b, m));
          p.drawLine(QPointF(m, a), QPointF(b, m));
          p.drawLine(QPointF(m, b), QPointF(b, m));
          break;
      }
      p.end();
      icon.addPixmap(pixmap);
    }
  }
  return icon;
}

QString DifferenceKindText(DifferenceKind kind) {
  return QCoreApplication::translate("CDifferenceModel", kKindTexts[int(kind)]);
}

QString DifferenceFieldText(int fieldIndex) {
  if (fieldIndex < 0 || fieldIndex >= kDifferenceFieldCount) return {};
  return QCoreApplication::translate("CDifferenceModel", kFieldTexts[fieldIndex]);
}

CDifferenceModel::CDifferenceModel(QObject* parent) : QAbstractItemModel(parent) {}

CDifferenceModel::~CDifferenceModel() = default;

void CDifferenceModel::SetResult(std::shared_ptr<const CompareResult> result) {
  beginResetModel();
  result_ = std::move(result);
  Build();
  endResetModel();
}

void CDifferenceModel::SetKindFilter(uint8_t kinds) {
  if (kinds == filter_) return;
  beginResetModel();
  filter_ = kinds;
  Build();
  endResetModel();
}

const std::string& CDifferenceModel::NameOf(const Node& node) const {
  return (node.second ? result_->secondNames : result_->firstNames)[size_t(node.record)];
}

void CDifferenceModel::Build() {
  nodes_.clear();
  children_.clear();
  topCount_ = 0;
  ordered_.clear();
  std::fill(std::begin(counts_), std::end(counts_), 0);
  shown_ = 0;
  ofDifference_.clear();
  if (!result_) return;
  const CompareResult& r = *result_;
  const std::vector<Difference>& list = r.differences;
  ofDifference_.assign(list.size(), -1);
  nodes_.reserve(list.size());
  // A row per record path: rows are found by their parent's row and their name, and each
  // record's row is remembered, so a path is walked name by name only up to the nearest
  // ancestor that has a row already. Records are named by their first-side path where they
  // have one, so a moved record stands where it is now. Siblings are chained while the rows
  // are made.
  //
  // The differences come in path order, so a row's children are mostly made in the order of
  // their names: a name after the last child's is a new row, and the last child's own name is
  // that row. Only a row whose children come out of that order ("a b" before "a", made for
  // "a/c") has its children entered in a table and looked up there from then on. An entry is
  // the row number + 1 (0: none) under the high half of its key's hash, which tells most other
  // keys apart without looking at their rows; the table is at most half full.
  std::vector<int> next;       // the next sibling of each row while they are made
  std::vector<int> last;       // the last child of each row so far
  std::vector<uint8_t> table;  // whether the row's children are in the table
  next.reserve(list.size());
  last.reserve(list.size());
  table.reserve(list.size());
  int topFirst = -1, topLast = -1;
  bool topTable = false;
  auto inTable = [&](int parent) { return parent < 0 ? topTable : table[size_t(parent)] != 0; };
  std::vector<uint64_t> rowTable(64, 0);
  size_t mask = rowTable.size() - 1, entered = 0;
  auto hashOf = [](int parent, std::string_view name) {
    return std::hash<std::string_view>()(name) ^ (size_t(parent + 1) * 0x9e3779b97f4a7c15u);
  };
  // The entry of the row with this parent and name, or the empty one where it would go.
  auto slotOf = [&](int parent, std::string_view name, uint64_t* tag) -> uint64_t& {
    size_t h = hashOf(parent, name);
    *tag = uint64_t(h >> 32) << 32;
    for (size_t k = h & mask;; k = (k + 1) & mask) {
      uint64_t& e = rowTable[k];
      if (e == 0) return e;
      if ((e >> 32 << 32) == *tag) {
        const Node& x = nodes_[size_t(uint32_t(e) - 1)];
        if (x.parent == parent && NameOf(x) == name) return e;
      }
    }
  };
  auto put = [&](size_t n) {
    uint64_t tag = 0;
    uint64_t& e = slotOf(nodes_[n].parent, NameOf(nodes_[n]), &tag);
    e = tag | uint64_t(n + 1);
  };
  auto enter = [&](int n) {
    put(size_t(n));
    if (++entered * 2 > rowTable.size()) {
      rowTable.assign(rowTable.size() * 4, 0);
      mask = rowTable.size() - 1;
      for (size_t k = 0; k < nodes_.size(); ++k)
        if (inTable(nodes_[k].parent)) put(k);
    }
  };
  std::vector<int> rowOf[2] = {std::vector<int>(r.firstParents.size(), -1),
                               std::vector<int>(r.secondParents.size(), -1)};
  std::vector<int32_t> chain;
  for (size_t i = 0; i < list.size(); ++i) {
    const Difference& d = list[i];
    ++counts_[int(d.kind)];
    if (!(filter_ & KindBit(d.kind))) continue;
    ++shown_;
    bool second = d.OnSecond();
    const std::vector<int32_t>& parents = second ? r.secondParents : r.firstParents;
    const std::vector<std::string>& names = second ? r.secondNames : r.firstNames;
    std::vector<int>& rows = rowOf[second];
    chain.clear();
    int32_t at = d.Index();
    for (; at >= 0 && rows[size_t(at)] < 0; at = parents[size_t(at)]) chain.push_back(at);
    int node = at < 0 ? -1 : rows[size_t(at)];
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
      const std::string& name = names[size_t(*it)];
      int tail = node < 0 ? topLast : last[size_t(node)];
      int found = -1;
      if (!inTable(node) && tail >= 0) {
        int c = NameOf(nodes_[size_t(tail)]).compare(name);
        if (c == 0) {
          found = tail;
        } else if (c > 0) {
          if (node < 0)
            topTable = true;
          else
            table[size_t(node)] = 1;
          int first = node < 0 ? topFirst : nodes_[size_t(node)].firstChild;
          for (int ch = first; ch >= 0; ch = next[size_t(ch)]) enter(ch);
        }
      }
      if (found < 0 && inTable(node)) {
        uint64_t tag = 0;
        if (uint64_t e = slotOf(node, name, &tag)) found = int(uint32_t(e) - 1);
      }
      if (found < 0) {
        found = int(nodes_.size());
        Node& n = nodes_.emplace_back();
        n.parent = node;
        n.second = second;
        n.record = *it;
        next.push_back(-1);
        last.push_back(-1);
        table.push_back(0);
        if (tail >= 0)
          next[size_t(tail)] = found;
        else if (node < 0)
          topFirst = found;
        else
          nodes_[size_t(node)].firstChild = found;
        (node < 0 ? topLast : last[size_t(node)]) = found;
        n.row = node < 0 ? topCount_++ : nodes_[size_t(node)].childCount++;
        if (inTable(node)) enter(found);
      }
      node = found;
      rows[size_t(*it)] = node;
    }
    if (node < 0) continue;  // no record on that side
    ofDifference_[i] = node;
    Node& target = nodes_[size_t(node)];
    if (target.firstDifference < 0) target.firstDifference = int(i);
    target.lastDifference = int(i);
    target.kinds |= KindBit(d.kind);
  }
  // The children of each row together, in tree order, which is also the order for stepping.
  children_.reserve(nodes_.size());
  for (int c = topFirst; c >= 0; c = next[size_t(c)]) children_.push_back(c);
  std::vector<int> stack(children_.rbegin(), children_.rend());
  int pre = 0;
  while (!stack.empty()) {
    int n = stack.back();
    stack.pop_back();
    Node& node = nodes_[size_t(n)];
    node.pre = pre++;
    if (node.HasDifferences()) {
      node.order = int(ordered_.size());
      ordered_.push_back(n);
    }
    int first = node.childCount > 0 ? node.firstChild : -1;
    node.firstChild = int(children_.size());
    for (int c = first; c >= 0; c = next[size_t(c)]) children_.push_back(c);
    stack.insert(stack.end(), children_.rbegin(), children_.rbegin() + node.childCount);
  }
}

const int* CDifferenceModel::ChildrenOf(int node, int* count) const {
  if (node < 0) {
    *count = topCount_;
    return children_.data();
  }
  const Node& n = nodes_[size_t(node)];
  *count = n.childCount;
  return children_.data() + n.firstChild;
}

int CDifferenceModel::NodeOf(const QModelIndex& index) const {
  if (!index.isValid() || index.model() != this) return -1;
  return int(index.internalId());
}

QModelIndex CDifferenceModel::IndexOfNode(int node, int column) const {
  if (node < 0) return {};
  return createIndex(nodes_[size_t(node)].row, column, quintptr(node));
}

std::vector<int> CDifferenceModel::DifferencesAt(const QModelIndex& index) const {
  int n = NodeOf(index);
  std::vector<int> shown;
  if (n < 0 || !nodes_[size_t(n)].HasDifferences()) return shown;
  const Node& node = nodes_[size_t(n)];
  for (int d = node.firstDifference; d <= node.lastDifference; ++d)
    if (ofDifference_[size_t(d)] == n) shown.push_back(d);  // shown, and of this row
  return shown;
}

QModelIndex CDifferenceModel::Step(const QModelIndex& from, bool forward) const {
  if (ordered_.empty()) return {};
  int n = NodeOf(from);
  int count = int(ordered_.size());
  int next;
  if (n < 0) {
    next = forward ? 0 : count - 1;
  } else if (nodes_[size_t(n)].order >= 0) {
    next = (nodes_[size_t(n)].order + (forward ? 1 : count - 1)) % count;
  } else {
    // A path row: the first row with differences below it in tree order, or the last above.
    int pre = nodes_[size_t(n)].pre;
    auto it = std::upper_bound(ordered_.begin(), ordered_.end(), pre,
                               [this](int p, int node) { return p < nodes_[size_t(node)].pre; });
    int after = int(it - ordered_.begin());
    next = forward ? after % count : (after + count - 1) % count;
  }
  return IndexOfNode(ordered_[size_t(next)]);
}

QModelIndex CDifferenceModel::IndexOfDifference(int d) const {
  if (d < 0 || size_t(d) >= ofDifference_.size()) return {};
  return IndexOfNode(ofDifference_[size_t(d)]);
}

QModelIndex CDifferenceModel::index(int row, int column, const QModelIndex& parent) const {
  if (row < 0 || column < 0 || column >= kColumnCount) return {};
  if (parent.isValid() && parent.column() != 0) return {};
  int count = 0;
  const int* rows = ChildrenOf(NodeOf(parent), &count);
  if (row >= count) return {};
  return createIndex(row, column, quintptr(rows[row]));
}

QModelIndex CDifferenceModel::parent(const QModelIndex& child) const {
  int n = NodeOf(child);
  return n < 0 ? QModelIndex() : IndexOfNode(nodes_[size_t(n)].parent);
}

int CDifferenceModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid() && parent.column() != 0) return 0;
  int count = 0;
  ChildrenOf(NodeOf(parent), &count);
  return count;
}

int CDifferenceModel::columnCount(const QModelIndex&) const {
  return kColumnCount;
}

QString CDifferenceModel::Details(const Node& node) const {
  QStringList parts;
  for (int i : DifferencesAt(IndexOfNode(int(&node - nodes_.data())))) {
    const Difference& d = result_->differences[size_t(i)];
    if (d.kind == DifferenceKind::kChanged) {
      QStringList fields;
      for (int f = 0; f < kDifferenceFieldCount; ++f)
        if (d.fields & (1 << f)) fields << DifferenceFieldText(f);
      parts << fields.join(QStringLiteral(", "));
    } else if (d.kind == DifferenceKind::kMoved) {
      parts << QStringLiteral("→ ") + FromCp1251(result_->ShownPathOf(true, d.second));
    }
  }
  return parts.join(QStringLiteral("; "));
}

QVariant CDifferenceModel::data(const QModelIndex& index, int role) const {
  int n = NodeOf(index);
  if (n < 0) return {};
  const Node& node = nodes_[size_t(n)];
  DifferenceKind first = !node.HasDifferences()
                             ? DifferenceKind::kChanged
                             : result_->differences[size_t(node.firstDifference)].kind;
  switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
      switch (index.column()) {
        case kColumnRecord:
          if (role == Qt::ToolTipRole && node.HasDifferences())
            return FromCp1251(
                result_->ShownPathOf(result_->differences[size_t(node.firstDifference)]));
          return FromCp1251(NameOf(node));
        case kColumnKind: {
          QStringList kinds;
          for (int k = 0; k < kDifferenceKindCount; ++k)
            if (node.kinds & (1 << k)) kinds << DifferenceKindText(DifferenceKind(k));
          return kinds.join(QStringLiteral(", "));
        }
        default:
          return Details(node);
      }
    case Qt::DecorationRole:
      if (index.column() == kColumnRecord && node.HasDifferences()) return DifferenceIcon(first);
      return {};
    case Qt::ForegroundRole:
      if (node.HasDifferences()) return DifferenceColor(first);
      return {};
    case kDifferenceRole:
      return node.HasDifferences() ? node.firstDifference : -1;
    case kKindsRole:
      return int(node.kinds);
    default:
      return {};
  }
}

QVariant CDifferenceModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  switch (section) {
    case kColumnRecord:
      return tr("Запись");
    case kColumnKind:
      return tr("Различие");
    case kColumnDetails:
      return tr("Подробности");
    default:
      return {};
  }
}

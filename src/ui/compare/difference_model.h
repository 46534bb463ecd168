// The differences of a comparison as a Qt item model: a tree by record path, a row per record
// that differs and per ancestor on the way to it. It keeps one small node per row, built once
// per result or filter from the result's names and parents, never from whole paths, and the
// rows' children in one list; texts are made when the view asks for them. A result of 65,535
// differences, or of deep records with long names, opens at once.
#pragma once

#include <QAbstractItemModel>
#include <QColor>
#include <QIcon>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "model/base_compare.h"

// The look of each kind, shared by the differences pane and the marks in the structure tree.
QColor DifferenceColor(DifferenceKind kind);
// A light tint of the kind's colour for row backgrounds.
QColor DifferenceTint(DifferenceKind kind);
QIcon DifferenceIcon(DifferenceKind kind);
QString DifferenceKindText(DifferenceKind kind);
// The label of a field bit (DifferenceField's index) as the pane shows it.
QString DifferenceFieldText(int fieldIndex);

inline constexpr int kDifferenceKindCount = 4;
inline uint8_t KindBit(DifferenceKind kind) {
  return uint8_t(1u << int(kind));
}
inline constexpr uint8_t kAllKinds = 0x0f;

class CDifferenceModel : public QAbstractItemModel {
  Q_OBJECT
 public:
  enum Column { kColumnRecord, kColumnKind, kColumnDetails, kColumnCount };
  enum Role : int {
    // The index in the result of the row's first difference shown; -1 for a path row.
    kDifferenceRole = Qt::UserRole + 1,
    // KindBit() of every kind the row's differences have (0 for a path row).
    kKindsRole,
  };

  explicit CDifferenceModel(QObject* parent = nullptr);
  ~CDifferenceModel() override;

  // A new result (null: none); the rows are built again.
  void SetResult(std::shared_ptr<const CompareResult> result);
  const std::shared_ptr<const CompareResult>& result() const { return result_; }
  // The kinds shown, as KindBit()s.
  void SetKindFilter(uint8_t kinds);
  uint8_t kindFilter() const { return filter_; }
  // Differences of the kind in the whole result, shown or not.
  int Count(DifferenceKind kind) const { return counts_[int(kind)]; }
  // Differences shown.
  int ShownCount() const { return shown_; }

  // The indices in the result of the row's differences that are shown.
  std::vector<int> DifferencesAt(const QModelIndex& index) const;
  // The row with differences after (or before) `from` in the tree's order, wrapping around at
  // the ends; from an invalid index the first (or last) one. Invalid when nothing is shown.
  QModelIndex Step(const QModelIndex& from, bool forward) const;
  // The row of the result's difference `d`; invalid when it is not shown.
  QModelIndex IndexOfDifference(int d) const;

  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

 private:
  struct Node {
    int parent = -1;  // -1: a top row
    int row = 0;
    int pre = 0;     // place among all rows in tree order
    int order = -1;  // place among the rows with differences, in tree order; -1 for none
    uint8_t kinds = 0;
    bool second = false;  // the record that named the row, on its side of the result
    int32_t record = -1;
    // The row's children: childCount entries of children_ from firstChild.
    int firstChild = 0;
    int childCount = 0;
    // The row's differences lie together in the result (it is sorted by path): those of the
    // row between the first and the last shown, -1 for none.
    int firstDifference = -1;
    int lastDifference = -1;
    bool HasDifferences() const { return firstDifference >= 0; }
  };
  void Build();
  int NodeOf(const QModelIndex& index) const;
  QModelIndex IndexOfNode(int node, int column = 0) const;
  QString Details(const Node& node) const;

  std::shared_ptr<const CompareResult> result_;
  uint8_t filter_ = kAllKinds;
  int counts_[kDifferenceKindCount] = {};
  int shown_ = 0;
  const std::string& NameOf(const Node& node) const;
  // The children of a row (-1: the top rows) as a range of children_.
  const int* ChildrenOf(int node, int* count) const;

  std::vector<Node> nodes_;
  std::vector<int> children_;      // each row's children together, in row order
  int topCount_ = 0;               // the top rows: the first ones in children_
  std::vector<int> ordered_;       // nodes with differences in tree order
  std::vector<int> ofDifference_;  // the node of each difference shown, -1 for the others
};

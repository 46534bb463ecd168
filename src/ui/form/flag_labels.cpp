#include "ui/form/flag_labels.h"

#include <QComboBox>
#include <QListWidget>

#include "model/value_types.h"

const QStringList& FormFlagLabels() {
  static const QStringList labels = {QStringLiteral("1 History!"), QStringLiteral("2 Split"),
                                     QStringLiteral("3 List"),     QStringLiteral("4 Validator"),
                                     QStringLiteral("5 Replace"),  QStringLiteral("6 Read-Only")};
  return labels;
}

const QStringList& DialogFlagLabels() {
  static const QStringList labels = {QStringLiteral("1 History!"),
                                     QStringLiteral("2 to_net_lo"),
                                     QStringLiteral("3 to_net_hi"),
                                     QStringLiteral("4 save on disk value (on change)"),
                                     QStringLiteral("5 load history value change in memory"),
                                     QStringLiteral("6 save on disk value change history")};
  return labels;
}

void FillTypeList(QComboBox* list) {
  list->clear();
  for (int code = 0; code < kTypeCount; ++code)
    list->addItem(QString::fromLatin1(TypeCodeToName(code)));
}

void FillFlagList(QListWidget* list, const QStringList& labels, uint8_t flags) {
  list->clear();
  for (int i = 0; i < labels.size(); ++i) {
    auto* item = new QListWidgetItem(labels[i], list);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
    item->setCheckState(flags >> i & 1 ? Qt::Checked : Qt::Unchecked);
  }
}

uint8_t TickedFlags(const QListWidget* list) {
  uint8_t bits = 0;
  for (int i = 0; i < list->count() && i < 6; ++i)
    if (list->item(i)->checkState() == Qt::Checked) bits |= uint8_t(1u << i);
  return bits;
}

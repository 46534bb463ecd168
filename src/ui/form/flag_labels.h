// The labels under which the two property editors show option bits 0 to 5, and the shared
// fillers of the type list and the flag list.
#pragma once

#include <QStringList>
#include <cstdint>

class QComboBox;
class QListWidget;

// The property form's labels ("1 History!" ... "6 Read-Only").
const QStringList& FormFlagLabels();
// The add-property dialog's labels ("1 History!" ... "6 save on disk value change history").
const QStringList& DialogFlagLabels();

// The nine type names in code order; the entry's position is the type code.
void FillTypeList(QComboBox* list);
// Fills the list with check-box entries, ticked for the set bits of `flags`.
void FillFlagList(QListWidget* list, const QStringList& labels, uint8_t flags);
// The bits of the ticked entries.
uint8_t TickedFlags(const QListWidget* list);

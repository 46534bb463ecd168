// How the value column shows where a value stands with the server: a small coloured mark
// beside the value and a tooltip that says what it means. The tree's value column, the watch
// list and the form share it.
#pragma once

#include <QColor>
#include <QString>
#include <QVariant>

#include "net/write_gate.h"

// "не отправлено", "отправлено", "подтверждено", "не подтверждено"; empty for kNone.
QString WriteStateName(WriteState state);
// The sentence a tooltip shows.
QString WriteStateExplanation(WriteState state);
QColor WriteStateColour(WriteState state);
// The cell's data for Qt::DecorationRole (the mark) and Qt::ToolTipRole; nothing otherwise.
QVariant WriteStateData(WriteState state, int role);

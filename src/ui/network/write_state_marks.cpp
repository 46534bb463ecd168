#include "ui/network/write_state_marks.h"

#include <QCoreApplication>

namespace {

QString Tr(const char* text) {
  return QCoreApplication::translate("WriteState", text);
}

}  // namespace

QString WriteStateName(WriteState state) {
  switch (state) {
    case WriteState::kNotSent:
      return Tr(QT_TRANSLATE_NOOP("WriteState", "не отправлено"));
    case WriteState::kSent:
      return Tr(QT_TRANSLATE_NOOP("WriteState", "отправлено"));
    case WriteState::kConfirmed:
      return Tr(QT_TRANSLATE_NOOP("WriteState", "подтверждено"));
    case WriteState::kUnconfirmed:
      return Tr(QT_TRANSLATE_NOOP("WriteState", "не подтверждено"));
    case WriteState::kNone:
      break;
  }
  return {};
}

QString WriteStateExplanation(WriteState state) {
  switch (state) {
    case WriteState::kNotSent:
      return Tr(QT_TRANSLATE_NOOP(
          "WriteState",
          "Не отправлено: значение изменено только в документе (только наблюдение или запись "
          "отменена)"));
    case WriteState::kSent:
      return Tr(QT_TRANSLATE_NOOP("WriteState",
                                  "Отправлено: сервер ещё не сообщил это значение в ответ"));
    case WriteState::kConfirmed:
      return Tr(QT_TRANSLATE_NOOP("WriteState", "Подтверждено: сервер сообщил это значение"));
    case WriteState::kUnconfirmed:
      return Tr(QT_TRANSLATE_NOOP(
          "WriteState",
          "Не подтверждено: соединение закрылось раньше или сервер сообщил другое значение"));
    case WriteState::kNone:
      break;
  }
  return {};
}

QColor WriteStateColour(WriteState state) {
  switch (state) {
    case WriteState::kNotSent:
      return QColor(0x9e, 0x9e, 0x9e);
    case WriteState::kSent:
      return QColor(0x1e, 0x88, 0xe5);
    case WriteState::kConfirmed:
      return QColor(0x2e, 0x7d, 0x32);
    case WriteState::kUnconfirmed:
      return QColor(0xc6, 0x28, 0x28);
    case WriteState::kNone:
      break;
  }
  return {};
}

QVariant WriteStateData(WriteState state, int role) {
  if (state == WriteState::kNone) return {};
  if (role == Qt::DecorationRole) return WriteStateColour(state);
  if (role == Qt::ToolTipRole) return WriteStateExplanation(state);
  return {};
}

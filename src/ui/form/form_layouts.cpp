#include "ui/form/form_layouts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/form/flag_labels.h"

namespace {

template <class W>
W* Named(W* w, const char* name, int controlId) {
  w->setObjectName(QLatin1String(name));
  w->setProperty("controlId", controlId);
  return w;
}

// "Type:" kind and "ID:" number, the head line of both forms.
QHBoxLayout* HeadLine(QWidget* page, FormControls& c) {
  auto* head = new QHBoxLayout;
  head->addWidget(new QLabel(QCoreApplication::translate("FormLayouts", "Type:"), page));
  c.kind = Named(new QLabel(page), "kindLabel", 1017);
  QFont bold = c.kind->font();
  bold.setBold(true);
  c.kind->setFont(bold);
  c.kind->setMinimumWidth(90);
  head->addWidget(c.kind);
  head->addSpacing(24);
  head->addWidget(new QLabel(QCoreApplication::translate("FormLayouts", "ID:"), page));
  c.id = Named(new QLabel(page), "idLabel", 1018);
  c.id->setFont(bold);
  c.id->setTextInteractionFlags(Qt::TextSelectableByMouse);
  head->addWidget(c.id);
  head->addStretch();
  return head;
}

QGroupBox* NameFrame(QWidget* page, FormControls& c) {
  auto* frame = new QGroupBox(QCoreApplication::translate("FormLayouts", "Название"), page);
  c.name = Named(new QLineEdit(frame), "nameEdit", 1000);
  (new QVBoxLayout(frame))->addWidget(c.name);
  return frame;
}

void BuildRecordForm(QWidget* page, FormControls& c) {
  auto* layout = new QVBoxLayout(page);
  layout->addLayout(HeadLine(page, c));
  auto* line = new QHBoxLayout;
  line->addWidget(NameFrame(page, c), 3);
  c.atomTypeFrame = Named(new QGroupBox(QCoreApplication::translate("FormLayouts", "Тип"), page),
                          "atomTypeFrame", 1020);
  c.atomType = Named(new QLineEdit(c.atomTypeFrame), "atomTypeEdit", 1002);
  c.atomType->setMaximumWidth(90);
  (new QVBoxLayout(c.atomTypeFrame))->addWidget(c.atomType);
  line->addWidget(c.atomTypeFrame, 1);
  layout->addLayout(line);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  c.apply = Named(new QPushButton(QCoreApplication::translate("FormLayouts", "Применить"), page),
                  "applyButton", 1012);
  buttons->addWidget(c.apply);
  layout->addLayout(buttons);
  layout->addStretch();
}

void BuildPropertyForm(QWidget* page, FormControls& c) {
  auto* layout = new QVBoxLayout(page);
  layout->addLayout(HeadLine(page, c));

  auto* data = new QGroupBox(QCoreApplication::translate("FormLayouts", "Данные"), page);
  auto* grid = new QGridLayout(data);
  grid->addWidget(NameFrame(data, c), 0, 0);

  auto* typeFrame = new QGroupBox(QCoreApplication::translate("FormLayouts", "Тип данных"), data);
  auto* typeLine = new QHBoxLayout(typeFrame);
  c.type = Named(new QComboBox(typeFrame), "typeList", 1015);
  FillTypeList(c.type);
  c.type->setMinimumWidth(120);
  c.eoc = Named(new QCheckBox(QCoreApplication::translate("FormLayouts", "EOC"), typeFrame),
                "eocCheck", 1016);
  typeLine->addWidget(c.type, 1);
  typeLine->addWidget(c.eoc);
  grid->addWidget(typeFrame, 0, 1);

  c.value = Named(new QPlainTextEdit(data), "valueEdit", 1001);
  c.value->setTabChangesFocus(true);
  c.value->setToolTip(QCoreApplication::translate("FormLayouts", "Значение"));
  c.value->setMinimumHeight(70);
  auto* valueColumn = new QVBoxLayout;
  valueColumn->addWidget(c.value, 1);
  c.writeState = Named(new QLabel(data), "writeStateLabel", 0);
  c.writeState->hide();
  valueColumn->addWidget(c.writeState);
  grid->addLayout(valueColumn, 1, 0);

  c.flags = Named(new QListWidget(data), "flagList", 1014);
  c.flags->setMinimumHeight(70);
  grid->addWidget(c.flags, 1, 1);

  auto* linkLine = new QHBoxLayout;
  c.path = Named(new QPushButton(QCoreApplication::translate("FormLayouts", "Путь"), data),
                 "pathButton", 1040);
  linkLine->addWidget(c.path);
  c.linkTarget = Named(new QListWidget(data), "linkTargetList", 1021);
  c.linkTarget->setSortingEnabled(true);
  c.linkTarget->setMaximumHeight(48);
  c.linkTarget->setToolTip(
      QCoreApplication::translate("FormLayouts", "Цель ссылки (двойной щелчок: перейти)"));
  linkLine->addWidget(c.linkTarget, 1);
  grid->addLayout(linkLine, 2, 0, 1, 2);

  c.incoming = Named(new QListWidget(data), "incomingList", 1022);
  c.incoming->setSortingEnabled(true);
  c.incoming->setMaximumHeight(90);
  c.incoming->setToolTip(
      QCoreApplication::translate("FormLayouts", "Входящие ссылки (двойной щелчок: перейти)"));
  grid->addWidget(c.incoming, 3, 0, 1, 2);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  c.apply = Named(new QPushButton(QCoreApplication::translate("FormLayouts", "Применить"), data),
                  "applyButton", 1012);
  buttons->addWidget(c.apply);
  grid->addLayout(buttons, 4, 0, 1, 2);
  grid->setColumnStretch(0, 3);
  grid->setColumnStretch(1, 2);

  layout->addWidget(data);
  layout->addStretch();
}

}  // namespace

FormControls BuildForm(int formTemplate, QWidget* page) {
  FormControls c;
  switch (formTemplate) {
    case kFormRecord:
      BuildRecordForm(page, c);
      break;
    case kFormProperty:
      BuildPropertyForm(page, c);
      break;
    default:
      new QVBoxLayout(page);  // the empty form
      break;
  }
  return c;
}

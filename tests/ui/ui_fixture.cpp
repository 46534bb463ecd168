#include "ui_fixture.h"

#include <QAction>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include "ui/app/modal_runner.h"
#include "ui/form/property_form.h"
#include "ui/tree/record_model.h"
#include "ui/tree/structure_tree.h"
#include "xml/text_codec.h"

UiFixture::UiFixture() {
  // Settings of a test program stay its own: the recent files and per-file watch lists that one
  // test writes are neither the user's nor those of a test running beside it.
  static QTemporaryDir settingsDir;
  static bool isolated = [] {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir.path());
    // Values sent to a server are journaled under XDG_DATA_HOME: here, not in the user's.
    qputenv("XDG_DATA_HOME", settingsDir.filePath(QStringLiteral("data")).toUtf8());
    return true;
  }();
  (void)isolated;
  SetModalHook([this](QDialog& d) -> int {
    if (script_.empty()) {
      unexpected << d.objectName() + QStringLiteral(" ") + d.windowTitle();
      return QDialog::Rejected;
    }
    auto handler = std::move(script_.front());
    script_.pop_front();
    return handler(d);
  });
  frame_ = std::make_unique<CMainFrame>();
  frame_->NewDocument();
  frame_->show();
}

UiFixture::~UiFixture() {
  frame_->SetModified(false);
  frame_.reset();
  SetModalHook({});
}

QModelIndex UiFixture::ItemOf(uint32_t id) {
  return frame_->GetTreeView()->IndexOfId(id);
}

bool UiFixture::IsOpen(uint32_t id) {
  return frame_->GetTreeView()->isExpanded(ItemOf(id));
}

void UiFixture::Select(uint32_t id) {
  QModelIndex item = ItemOf(id);
  if (!item.isValid()) qFatal("no tree row for %u", id);
  CLeftView* tree = frame_->GetTreeView();
  tree->setFocus();
  tree->setCurrentIndex(item);
}

void UiFixture::Drag(uint32_t from, uint32_t to, Qt::KeyboardModifiers keys) {
  CLeftView* tree = frame_->GetTreeView();
  QWidget* vp = tree->viewport();
  // Near the start of each label: long labels may reach past a narrow pane.
  auto near = [&](uint32_t id) {
    QRect r = tree->visualRect(ItemOf(id));
    return QPoint(r.left() + 30, r.center().y());
  };
  QPoint a = near(from);
  QPoint b = to ? near(to) : QPoint(5, vp->height() - 3);
  QTest::mousePress(vp, Qt::LeftButton, {}, a);
  QTest::mouseMove(vp, a + QPoint(12, 6));
  QTest::mouseMove(vp, b);
  QTest::mouseRelease(vp, Qt::LeftButton, keys, b);
}

QString Label(const QModelIndex& index) {
  return index.data(Qt::DisplayRole).toString();
}

QModelIndex Row(const QModelIndex& parent, int row) {
  return parent.model() ? parent.model()->index(row, 0, parent) : QModelIndex();
}

int Rows(const QModelIndex& parent) {
  return parent.model() ? parent.model()->rowCount(parent) : 0;
}

std::vector<uint32_t> RowIds(const QModelIndex& parent) {
  std::vector<uint32_t> ids;
  for (int i = 0; i < Rows(parent); ++i)
    ids.push_back(Row(parent, i).data(CRecordModel::kIdRole).toUInt());
  return ids;
}

bool UiFixture::Enabled(int commandId) {
  frame_->UpdateActions();
  return frame_->action(commandId)->isEnabled();
}

void UiFixture::Trigger(int commandId) {
  frame_->action(commandId)->trigger();
}

void UiFixture::Expect(std::function<int(QDialog&)> handler) {
  script_.push_back(std::move(handler));
}

void UiFixture::ExpectMessage() {
  Expect([this](QDialog& d) {
    auto& box = static_cast<QMessageBox&>(d);
    messages << box.windowTitle() + QStringLiteral(": ") + box.text();
    return int(QMessageBox::Ok);
  });
}

std::string W(const std::string& utf8) {
  std::string out;
  ToCp1251(QString::fromStdString(utf8), &out);
  return out;
}

void WriteFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write(bytes);
}

QByteArray PumpC2ko() {
  return QByteArray::fromStdString(
      "O}{" + W("Насос") +
      "}\r\n A}{AI}\r\nP}{Speed}{-}{1}{0}{0}{0}{0}{1}{-}{int}{-}{2}{-}{-}{a}{b}\r\n");
}

CObj* UiFixture::AddObject(CRecord* parent, const std::string& name) {
  CObj* o = doc().NewObject(parent);
  o->name = W(name);
  return o;
}

CAtom* UiFixture::AddAtom(CObj* parent, const std::string& name) {
  CAtom* a = doc().NewAtom(parent);
  a->name = W(name);
  return a;
}

CPropertyItem* UiFixture::AddProperty(CAtom* atom, const std::string& name, int type,
                                      const std::string& value) {
  CPropertyItem* p = doc().NewProperty(atom);
  p->name = W(name);
  p->typeCode = uint8_t(type);
  p->valueText = W(value);
  return p;
}

void UiFixture::Rebuild() {
  // Incoming links are rebuilt from scratch, as opening a file does.
  std::function<void(CRecord*)> clear = [&](CRecord* r) {
    if (CPropertyItem* p = AsProperty(r)) p->incomingLinks.clear();
    ForEachChild(r, clear);
  };
  for (CBase* g : doc().Groups()) clear(g);
  doc().RebuildTree();
  frame_->GetTreeView()->OnInitialUpdate();
  frame_->GetFormView()->OnInitialUpdate();
}

int Press(QDialog& dialog, const char* buttonName) {
  Child<QPushButton>(dialog, buttonName)->click();
  return dialog.result();
}

void Type(QWidget& parent, const char* editName, const QString& text) {
  QWidget* w = parent.findChild<QWidget*>(QLatin1String(editName));
  if (auto* line = qobject_cast<QLineEdit*>(w))
    line->setText(text);
  else if (auto* plain = qobject_cast<QPlainTextEdit*>(w))
    plain->setPlainText(text);
  else
    qFatal("no edit %s", editName);
}

quint16 StartSim(QProcess& sim, const QString& program, const QString& base,
                 const QStringList& extra) {
  QTcpServer probe;
  if (!probe.listen(QHostAddress::LocalHost, 0)) return 0;
  quint16 port = probe.serverPort();
  probe.close();
  sim.start(program, QStringList{QStringLiteral("--port"), QString::number(port),
                                 QStringLiteral("--base"), base} +
                         extra);
  if (!sim.waitForStarted(5000)) return 0;
  for (int i = 0; i < 50; ++i) {
    QTcpSocket s;
    s.connectToHost(QHostAddress::LocalHost, port);
    if (s.waitForConnected(100)) return port;
    QTest::qWait(100);
  }
  return 0;
}

// A main window with a new document, driven through its real widgets. Dialogs and message
// boxes are answered by scripted handlers in the order they appear.
#pragma once

#include <QDialog>
#include <QModelIndex>
#include <QProcess>
#include <QStringList>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/app/main_frame.h"

class CRecord;
class CPropertyItem;

class UiFixture {
 public:
  UiFixture();
  ~UiFixture();

  CMainFrame& frame() { return *frame_; }
  CTarnelDoc& doc() { return frame_->document(); }

  // Selects the tree row of the record (0: "Root") as a click would.
  void Select(uint32_t id);
  // The structure tree's row of the record (0: "Root"); invalid when there is none.
  QModelIndex ItemOf(uint32_t id);
  bool IsOpen(uint32_t id);
  // Drags the record's row with the mouse and releases it over the other's (0: over the empty
  // space below the rows) with the keys held.
  void Drag(uint32_t from, uint32_t to, Qt::KeyboardModifiers keys = {});
  bool Enabled(int commandId);
  void Trigger(int commandId);

  // The next dialog is answered by `handler`, which returns the result code.
  void Expect(std::function<int(QDialog&)> handler);
  // Answers the next message box by recording its text and pressing its default button.
  void ExpectMessage();
  // Texts of every message box answered so far.
  QStringList messages;
  // Dialogs that came without a scripted answer (they were cancelled).
  QStringList unexpected;
  bool AllAnswered() const { return script_.empty(); }

  // Record helpers on the open document (names given in UTF-8); Rebuild shows them.
  CObj* AddObject(CRecord* parent, const std::string& name);
  CAtom* AddAtom(CObj* parent, const std::string& name);
  CPropertyItem* AddProperty(CAtom* atom, const std::string& name, int type,
                             const std::string& value);
  // Rebuilds the tree from the document, as opening a file does.
  void Rebuild();

 private:
  std::unique_ptr<CMainFrame> frame_;
  std::deque<std::function<int(QDialog&)>> script_;
};

// A tree row's label, its child rows, and their record identifiers.
QString Label(const QModelIndex& index);
QModelIndex Row(const QModelIndex& parent, int row);
int Rows(const QModelIndex& parent);
std::vector<uint32_t> RowIds(const QModelIndex& parent);

// Starts kandrel-sim (`program`) serving `base` on a free port of 127.0.0.1 with the extra
// options, and waits until it accepts connections; the port, or 0 when it did not come up.
quint16 StartSim(QProcess& sim, const QString& program, const QString& base,
                 const QStringList& extra = {});

// windows-1251 bytes of UTF-8 text, as the model keeps names.
std::string W(const std::string& utf8);
// Writes the bytes to the file, failing the test when it cannot.
void WriteFile(const QString& path, const QByteArray& bytes);
// A .c2ko text in windows-1251, as the tools that write it produce: the object "Насос" with the
// atom "AI" holding the property "Speed".
QByteArray PumpC2ko();
// Presses the dialog's button with this object name; returns the dialog's result afterwards.
int Press(QDialog& dialog, const char* buttonName);
// Types text into the line or text edit with this object name.
void Type(QWidget& parent, const char* editName, const QString& text);
// Finds a child by object name, failing loudly when it is missing.
template <class T>
T* Child(QWidget& parent, const char* name) {
  T* w = parent.findChild<T*>(QLatin1String(name));
  if (!w) qFatal("no child %s", name);
  return w;
}

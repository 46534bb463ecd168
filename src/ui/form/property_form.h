// The property form, the right pane: shows and edits the record the frame has chosen, on one of
// three templates. It keeps no record of its own; it asks the frame each time.
#pragma once

#include <QScrollArea>
#include <cstdint>
#include <vector>

#include "ui/form/form_layouts.h"

class CMainFrame;
class CRecord;
class CPropertyItem;

class CTarnelView : public QScrollArea {
  Q_OBJECT
 public:
  // A form on one template (kFormEmpty, kFormRecord, kFormProperty) for its whole life; the
  // frame builds a new view when another template is wanted.
  CTarnelView(CMainFrame* frame, int formTemplate, QWidget* parent = nullptr);

  int formTemplate() const { return template_; }

  // Asks the frame for a new, empty form. The view must not be used after this call.
  void OnInitialUpdate();
  void RefreshForm();
  void ShowRecord(CRecord* record);
  void ShowProperty(CRecord* record);
  void ShowPickedId(uint32_t id);
  void RefreshIfShowing(uint32_t id);
  // Where the shown value stands with the server ("не отправлено", "отправлено", ...), redrawn
  // alone so that fields being edited stay as they are.
  void RefreshWriteState();
  // Several properties at once on the property form (fewer than two: the shown record again).
  void ShowBulk(const std::vector<uint32_t>& ids);
  bool bulk() const;

  // Copy, cut, paste and undo on the focused field of the form; false when no field of the
  // form has the focus.
  bool HandleEditCommand(int commandId);
  // True when the name or the value field has the keyboard focus.
  bool EditFieldFocused() const;
  const FormControls& controls() const { return c_; }

 private:
  void OnApply();
  void OnTypeChanged(int index);
  void OnEndOfChain(bool checked);
  void OnJump(class QListWidgetItem* item);
  void OnPath();
  bool ApplyProperty();
  bool ApplyRecord();

  CMainFrame* frame_;
  int template_;
  FormControls c_;
  class CBulkForm* bulk_ = nullptr;
  uint32_t valueId_ = 0;  // the property whose value the form shows (the end of a chain)
};

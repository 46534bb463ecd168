// The property form as a bulk editor for several selected properties: fields they share show
// their value, fields that differ show as mixed, and "Применить" sets only the fields the user
// changed (type, flags, value) on all of them, as one change. The rule is CBulkPropertyEdit's.
#pragma once

#include <QObject>
#include <cstdint>
#include <memory>
#include <vector>

#include "ui/form/form_layouts.h"

class CBulkPropertyEdit;
class CMainFrame;

class CBulkForm : public QObject {
  Q_OBJECT
 public:
  CBulkForm(CMainFrame* frame, const FormControls& controls, QObject* parent);
  ~CBulkForm() override;

  // Fills the form from the properties (those still in the document).
  void Show(const std::vector<uint32_t>& ids);
  // Gives the single-record fields back.
  void Leave();
  const std::vector<uint32_t>& ids() const { return ids_; }
  // Runs the change; false when the user changed nothing or nothing changed.
  bool Apply();

 private:
  CMainFrame* frame_;
  FormControls c_;
  std::vector<uint32_t> ids_;
  std::unique_ptr<CBulkPropertyEdit> shown_;
  int shownType_ = -1;
  bool valueTouched_ = false;
};

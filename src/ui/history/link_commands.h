// Links made by the links editor and the link target picker, as edit commands: calls of the
// document's link edits, which keep the targets' incoming-link lists right at once.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "model/document_edits.h"
#include "model/edit_history.h"

// The checked entries of the links editor: each property to the picked atom's property of the
// given name.
class MakeLinksCommand : public CEditCommand {
 public:
  MakeLinksCommand(uint32_t atomId, std::vector<std::pair<uint32_t, std::string>> links)
      : atomId_(atomId), links_(std::move(links)) {}
  bool Execute(EditContext& ctx) override;

 private:
  uint32_t atomId_;
  std::vector<std::pair<uint32_t, std::string>> links_;  // property, target name
};

// The unchecked entries of the links editor.
class UnlinkCommand : public CEditCommand {
 public:
  explicit UnlinkCommand(std::vector<uint32_t> ids) : ids_(std::move(ids)) {}
  bool Execute(EditContext& ctx) override;

 private:
  std::vector<uint32_t> ids_;
};

// OK in the link target picker.
class SetLinkTargetCommand : public CEditCommand {
 public:
  SetLinkTargetCommand(uint32_t propertyId, uint32_t targetId)
      : propertyId_(propertyId), targetId_(targetId) {}
  bool Execute(EditContext& ctx) override;

 private:
  uint32_t propertyId_;
  uint32_t targetId_;
};

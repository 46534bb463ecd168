// Links made by the links editor and the link target picker, as edit commands. Each keeps the
// targets' incoming-link lists right at once, so the form shows them without a rebuild.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "ui/history/edit_command.h"

class CRecord;
class CPropertyItem;

// Makes the property a LINK_TO to the target: type 7, the target's identifier as value text;
// the old target forgets the property and a property target lists it. True when it changed.
bool SetLinkTarget(CTarnelDoc& doc, CPropertyItem* property, const CRecord* target);
// When `atom` is an atom with a property named exactly `name`, links `property` to it.
bool LinkToAtomProperty(CTarnelDoc& doc, CRecord* atom, const std::string& name,
                        CPropertyItem* property);
// A LINK_TO property becomes a SHORT one; its target forgets it. True when it was a link.
bool UnlinkToShort(CTarnelDoc& doc, CPropertyItem* property);

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

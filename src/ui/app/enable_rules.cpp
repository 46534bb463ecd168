#include "ui/app/enable_rules.h"

#include "model/document.h"
#include "model/document_edits.h"
#include "ui/app/command_ids.h"

namespace {

bool PasteEnabled(const CommandState& s) {
  if (s.formEditFocused) return true;
  // Enabled exactly where the paste would paste.
  return s.shownKind != kKindNone && CanPaste(s.copiedKind, s.shownKind);
}

}  // namespace

bool IsCommandEnabled(int commandId, const CommandState& s) {
  switch (commandId) {
    case cmd::kAddObject:
      return s.shownKind != kKindNone && CanHold(s.shownKind, kKindObject);
    case cmd::kAddAtom:
      return s.shownKind != kKindNone && CanHold(s.shownKind, kKindAtom);
    case cmd::kAddProperty:
      return s.shownKind != kKindNone && CanHold(s.shownKind, kKindProperty);
    case cmd::kDeleteGroup:
      return s.shownKind == kKindGroup;
    case cmd::kDeleteObject:
      return s.shownKind == kKindObject;
    case cmd::kDeleteAtom:
      return s.shownKind == kKindAtom;
    case cmd::kDeleteProperty:
      return s.shownKind == kKindProperty;
    case cmd::kEditPaste:
      return PasteEnabled(s);
    case cmd::kConnect:
      return !s.connected;
    case cmd::kDisconnect:
      return s.connected;
    case cmd::kFilePrint:
      return false;
    case cmd::kEditUndoChange:
      return s.canUndo;
    case cmd::kEditRedo:
      return s.canRedo;
    case cmd::kEditReferences:
    case cmd::kEditRename:
    case cmd::kCopyPath:
      return s.shownKind != kKindNone;
    case cmd::kEditDelete:
      return s.selectedCount > 0 || s.shownKind != kKindNone;
    case cmd::kMoveUp:
      return s.canMoveUp;
    case cmd::kMoveDown:
      return s.canMoveDown;
    default:
      return true;
  }
}

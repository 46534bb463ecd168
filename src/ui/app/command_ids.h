// The editor's numeric command identifiers. They travel with every QAction as its data, so the
// enable rules and the tests can name a command by the number users of the old editor know.
#pragma once

namespace cmd {

enum CommandId : int {
  kFileNew = 57600,
  kFileOpen = 57601,
  kFileSave = 57603,
  kFileSaveAs = 57604,
  kFilePrint = 57607,
  kFileMru1 = 57616,  // the four recent files take 57616..57619
  kFileMruCount = 4,
  kEditCopy = 57634,
  kEditCut = 57635,
  kEditPaste = 57637,
  kEditUndo = 57643,  // the form field's undo, else the document's
  kEditRedo = 57644,
  kEditFind = 57636,
  kAppAbout = 57664,
  kAppExit = 57665,
  kNextPane = 57680,
  kPrevPane = 57681,
  kViewToolbar = 59392,
  kViewStatusBar = 59393,
  kAddAtom = 32775,
  kAddGroup = 32776,
  kDeleteGroup = 32777,
  kAddObject = 32778,
  kDeleteObject = 32779,
  kDeleteAtom = 32780,
  kAddProperty = 32781,
  kDeleteProperty = 32782,
  kImport = 32784,
  kConnect = 32786,
  kDisconnect = 32787,
  kGetBase = 32788,
  kExport = 32790,
  kEditUndoChange = 32795,  // the document's last change, wherever the focus is
  kEditReferences = 32796,
  // Keys and the structure tree's context menu.
  kEditDelete = 32810,  // every selected record, Del
  kEditRename = 32811,  // the current row's name in place, F2
  kEditInsert = 32812,  // a record of the kind the selection holds, Ins
  kMoveUp = 32813,      // Alt+Up among its siblings
  kMoveDown = 32814,    // Alt+Down
  kFindFromHere = 32815,
  kCopyPath = 32816,
  kExpandBranch = 32817,
  kCollapseBranch = 32818,
  // The watch list.
  kWatch = 32830,  // the tree's selected properties into the watch list
};

}  // namespace cmd

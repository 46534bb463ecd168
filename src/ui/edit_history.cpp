#include "edit_command.h"

bool CEditHistory::Run(std::unique_ptr<CEditCommand> command, EditContext& ctx) {
  if (!command->Execute(ctx)) return false;
  done_.push_back(std::move(command));
  return true;
}

#include "ui/app/ui_resources.h"

#include <QtGlobal>

static void RegisterKandrelResources() {
  Q_INIT_RESOURCE(kandrel);
}

void InitUiResources() {
  static const bool once = (RegisterKandrelResources(), true);
  (void)once;
}

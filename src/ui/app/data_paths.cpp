#include "ui/app/data_paths.h"

QString InstalledDataDirectory() {
  return QStringLiteral(KANDREL_DATADIR);
}

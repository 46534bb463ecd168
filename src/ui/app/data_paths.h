// Where the installed editor keeps its data files (link templates, translations).
#pragma once

#include <QString>

// The data folder of the prefix the program was built for, e.g. /usr/share/kandrel.
QString InstalledDataDirectory();

// Compiled with exactly the include paths the core libraries get. Without
// KESTROVA_TRY_QT it must compile (the control); with it, the Qt header must
// be out of reach, so the build fails: the core cannot grow a Qt dependency.
#include "helperclient/PluginManagementService.h"
#include "store/PluginInventoryStore.h"

#ifdef KESTROVA_TRY_QT
#include <QObject>
#include <QtCore/QObject>
#endif

int main() { return 0; }

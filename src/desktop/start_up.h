// What both programs do first as desktop applications: answer --help and --version without a
// display, speak the person's language, and name their version.
#pragma once

#include <QString>

class QCoreApplication;

namespace vexilo::desktop {

/// The version of both programs, as the package names it.
QString version();

/// True when the arguments ask only for text (--help, -h, -?, --help-all, --version, -v): the
/// program then answers on the terminal without opening a window, so it needs no display.
/// Arguments after "--" are not options.
bool asksOnlyForText(int argc, char** argv);

/// Installs Qt's own translations for the person's language (the standard buttons and
/// dialogs, from Qt's translations folder) and the programs' own catalogue built into the
/// executable, and makes the Qt-free cores' texts go through them. A language without a
/// catalogue stays English; nothing fails.
void installTranslations(QCoreApplication& application);

} // namespace vexilo::desktop

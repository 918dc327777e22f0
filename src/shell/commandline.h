#pragma once

#include <QStringList>

class QCommandLineParser;

namespace tavix {

/// Sets up the options Tavix understands: --help and --version (Qt's own, such as -platform,
/// are taken by QApplication before the parser sees the command line).
void describeCommandLine(QCommandLineParser& parser);

/// Whether the command line asks only for information (--help, --version), which must work
/// without a display, so before QApplication opens one. Qt's options are not known yet and are
/// read as long options, so "-reverse" is never taken for "-v".
bool asksForInformation(const QStringList& arguments);

} // namespace tavix

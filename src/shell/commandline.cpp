#include "commandline.h"

#include <QCommandLineParser>
#include <QCoreApplication>

namespace tavix {

void describeCommandLine(QCommandLineParser& parser) {
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(QCoreApplication::translate(
        "tavix::CommandLine", "Free-floating clock windows for shows, studios and broadcasts."));
    parser.addHelpOption();
    parser.addVersionOption();
}

bool asksForInformation(const QStringList& arguments) {
    QCommandLineParser parser;
    describeCommandLine(parser);
    // Unknown options fail the parse but do not stop it; they are the toolkit's, checked later.
    (void)parser.parse(arguments);
    return parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("version")) ||
           parser.isSet(QStringLiteral("help-all"));
}

} // namespace tavix

#include "display/symbols.h"
#include "display/timesource.h"
#include "model/statefile.h"
#include "platform/allocatortuning.h"
#include "platform/audiobackend.h"
#include "platform/paths.h"
#include "platformchoice.h"
#include "signalnotifier.h"
#include "tavixapp.h"

#include <QApplication>
#include <QPalette>
#include <QStyleFactory>

#include <csignal>
#include <memory>

namespace {

// The clock faces are drawn on dark backgrounds; menus, popovers and the settings window match them.
QPalette darkPalette() {
    QPalette palette;
    const QColor window(0x2b, 0x2b, 0x2d);
    const QColor base(0x1e, 0x1e, 0x20);
    const QColor text(0xee, 0xee, 0xee);
    const QColor disabled(0x80, 0x80, 0x80);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, window);
    palette.setColor(QPalette::ToolTipBase, QColor(0x3a, 0x3a, 0x3c));
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::PlaceholderText, disabled);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x3c));
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::BrightText, Qt::white);
    palette.setColor(QPalette::Highlight, QColor(0x2f, 0x7d, 0xe1));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Link, QColor(0x5a, 0xa9, 0xff));
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        palette.setColor(QPalette::Disabled, role, disabled);
    }
    return palette;
}

} // namespace

int main(int argc, char** argv) {
    tavix::tuneAllocatorForStateSaves();
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments.append(QString::fromLocal8Bit(argv[i]));
    }
    if (const auto platform = tavix::chooseQtPlatform(qgetenv("QT_QPA_PLATFORM"), qgetenv("WAYLAND_DISPLAY"),
                                                      qgetenv("DISPLAY"), arguments)) {
        qputenv("QT_QPA_PLATFORM", *platform);
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tavix"));
    QApplication::setDesktopFileName(QStringLiteral("org.tavix.Tavix"));
    QApplication::setWindowIcon(tavix::applicationIcon());
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setPalette(darkPalette());

    // A desktop session ends its programs by signal: end the event loop, and so save, as on Quit.
    // The handler goes in before anything is loaded, so that a signal during start-up waits for the
    // event loop instead of killing the process.
    tavix::SignalNotifier signalNotifier({SIGTERM, SIGINT, SIGHUP});

    tavix::SystemTimeSource time;
    tavix::TavixApp tavix(std::make_shared<tavix::StateFile>(tavix::applicationSupportDirectory()),
                          tavix::makeSystemAudioBackend(), time);
    QObject::connect(&signalNotifier, &tavix::SignalNotifier::received, &tavix, &tavix::TavixApp::quit);

    tavix.enableTray();
    tavix.start();
    return QApplication::exec();
}

#include "clockwindowmanager.h"
#include "commandline.h"
#include "desktopbus.h"
#include "display/timesource.h"
#include "model/statefile.h"
#include "platform/allocatortuning.h"
#include "platform/audiobackend.h"
#include "platform/desktopsession.h"
#include "platform/localzone.h"
#include "platform/paths.h"
#include "platform/version.h"
#include "platformchoice.h"
#include "signalnotifier.h"
#include "singleinstance.h"
#include "tavixapp.h"
#include "widgets/symbols.h"
#include "widgets/widgetstyle.h"
#include "translations.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QStyleFactory>
#include <QThread>
#include <QThreadPool>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace {

// A closed standard output (`tavix | head -1`) must never stop the application: writes to it just
// fail. And a standard descriptor that is not open at all would be taken by the next file opened,
// the state file's temporary one included, and diagnostics would land in it; /dev/null holds it.
void keepStandardOutputHarmless() {
    std::signal(SIGPIPE, SIG_IGN);
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) < 0) {
            const int null = ::open("/dev/null", O_RDWR);
            if (null >= 0 && null != fd) {
                ::dup2(null, fd);
                ::close(null);
            }
        }
    }
}

// Some ends of the process never come back to the event loop: when the X connection breaks, as it
// does when an X11 session ends, the toolkit reports it and calls exit(). The final save then runs
// from here, on the main thread, once (TavixApp::terminate() does nothing the second time).
class FinalSaveAtExit {
public:
    explicit FinalSaveAtExit(tavix::TavixApp& app) {
        s_app = &app;
        std::atexit(&run);
    }
    ~FinalSaveAtExit() { s_app = nullptr; }
    FinalSaveAtExit(const FinalSaveAtExit&) = delete;
    FinalSaveAtExit& operator=(const FinalSaveAtExit&) = delete;

private:
    static void run() {
        const QCoreApplication* app = QCoreApplication::instance();
        if (s_app && app && QThread::currentThread() == app->thread()) {
            s_app->terminate();
        }
    }
    static inline tavix::TavixApp* s_app = nullptr;
};

// Once the final save is on disk nothing is left to keep: the kernel, the X server, the session bus
// and the sound server free what the process held when it ends. Destroying a thousand windows one
// by one instead costs a round trip to the X server each and keeps the user waiting. Sanitizer
// builds take the long way, so that their leak and thread checks see the whole teardown.
void endWithoutTeardown(int status, tavix::SingleInstance& instance) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    Q_UNUSED(status);
    Q_UNUSED(instance);
#else
    QThreadPool::globalInstance()->waitForDone();
    instance.release();
    std::fflush(nullptr);
    std::_Exit(status);
#endif
}

} // namespace

int main(int argc, char** argv) {
    keepStandardOutputHarmless();
    tavix::tuneAllocatorForStateSaves();
    const bool followZone = tavix::LocalZone::nameSystemZone(); // before any thread reads the environment
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments.append(QString::fromLocal8Bit(argv[i]));
    }
    if (const auto platform = tavix::chooseQtPlatform(qgetenv("QT_QPA_PLATFORM"), qgetenv("WAYLAND_DISPLAY"),
                                                      qgetenv("DISPLAY"), arguments)) {
        qputenv("QT_QPA_PLATFORM", *platform);
    }

    // --version and --help answer on a terminal, in a package check or over ssh: no display needed.
    if (tavix::asksForInformation(arguments)) {
        QCoreApplication information(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("Tavix"));
        QCoreApplication::setApplicationVersion(QString::fromLatin1(tavix::kVersion));
        QCommandLineParser parser;
        tavix::describeCommandLine(parser);
        parser.process(information);
        return 0;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tavix"));
    QApplication::setApplicationVersion(QString::fromLatin1(tavix::kVersion));
    std::unique_ptr<tavix::LocalZone> zone;
    if (followZone) {
        zone = std::make_unique<tavix::LocalZone>();
    }
    {
        // What QApplication left over is ours: an unknown option is a mistake worth stopping for.
        QCommandLineParser parser;
        tavix::describeCommandLine(parser);
        parser.process(app);
    }
    QApplication::setDesktopFileName(QStringLiteral("org.tavix.Tavix"));
    QApplication::setWindowIcon(tavix::applicationIcon());
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    // Menus, dialogs and the settings window share the editors' dark palette.
    QApplication::setPalette(tavix::darkPalette());
    const tavix::Translations translations(QLocale::system());

    // A desktop session ends its programs by signal: end the event loop, and so save, as on Quit.
    // The handler goes in before anything is loaded, so that a signal during start-up waits for the
    // event loop instead of killing the process.
    tavix::SignalNotifier signalNotifier({SIGTERM, SIGINT, SIGHUP});

    // One Tavix per state folder: a second launch hands over to the first and leaves the state alone.
    const QString dataDirectory = tavix::applicationSupportDirectory();
    tavix::SingleInstance instance(QDir(dataDirectory).filePath(QStringLiteral("Tavix")));
    switch (instance.claim()) {
    case tavix::SingleInstance::Role::first:
        break;
    case tavix::SingleInstance::Role::handedOver:
        return 0;
    case tavix::SingleInstance::Role::failed:
        return 1;
    }
    tavix::DesktopBus bus;
    bus.registerApplication();

    tavix::SystemTimeSource time;
    auto stateFile = std::make_shared<tavix::StateFile>(dataDirectory);
    tavix::TavixApp tavix(stateFile, tavix::makeSystemAudioBackend(), time);
    tavix.windowManager().setDesktop(tavix::detectDesktop(QGuiApplication::platformName().toStdString(),
                                                          qgetenv("WAYLAND_DISPLAY").toStdString(),
                                                          qgetenv("XDG_SESSION_TYPE").toStdString()));
    QObject::connect(&signalNotifier, &tavix::SignalNotifier::received, &tavix, &tavix::TavixApp::quit);
    QObject::connect(&instance, &tavix::SingleInstance::activationRequested, &tavix,
                     &tavix::TavixApp::activate);
    QObject::connect(&bus, &tavix::DesktopBus::activationRequested, &tavix, &tavix::TavixApp::activate);
    // Standard output is out of sight on a desktop: failures and kept copies are shown there too.
    QObject::connect(&stateFile->status(), &tavix::StateFileStatus::alert, &bus, &tavix::DesktopBus::notify);

    tavix.enableTray();
    tavix.start();
    // Drills that count diagnostic lines run many instances side by side on one machine: they turn
    // the servers off rather than compete for the default ports.
    if (qgetenv("TAVIX_REMOTE_CONTROL") != "off") {
        tavix.startRemoteControl();
    }
    // Last: exit() destroys what was made after this before it runs the final save, and start-up
    // has made nearly everything by now.
    FinalSaveAtExit finalSave(tavix);
    const int status = QApplication::exec();
    tavix.terminate(); // ran as the event loop ended; this only makes sure before the fast end
    endWithoutTeardown(status, instance);
    return status;
}

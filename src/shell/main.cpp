#include "model/appstate.h"
#include "platform/paths.h"

#include <QCoreApplication>

#include <memory>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    auto stateFile = std::make_shared<tavix::StateFile>(tavix::applicationSupportDirectory());
    tavix::AppState state(stateFile);
    // Until the clock windows exist, starting up means loading or creating the state file.
    stateFile->flushPendingWrites();
    return 0;
}

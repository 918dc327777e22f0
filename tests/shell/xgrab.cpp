// Saves what an X display shows as a PNG: the whole screen, or the rectangle X Y W H of it.
// Usage: tavix_xgrab OUT.png [X Y W H]
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include <cstdio>

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUT.png [X Y W H]\n", argv[0]);
        return 2;
    }
    QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0);
    if (argc == 6) {
        shot = shot.copy(QByteArray(argv[2]).toInt(), QByteArray(argv[3]).toInt(),
                         QByteArray(argv[4]).toInt(), QByteArray(argv[5]).toInt());
    }
    if (shot.isNull() || !shot.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "could not grab or save\n");
        return 1;
    }
    return 0;
}

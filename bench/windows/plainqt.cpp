// The floor under the window figures: a plain Qt Widgets program that opens N top-level windows
// (default 20) of 380x260, tiled as the window benchmark tiles its clocks, each with one label of
// large bold digits that changes every second. Whatever Qt and the X server cost per window, this
// pays too; measure.sh runs it as the "plainqt" set.
// Usage: tavix_plainqt [N]
#include <QApplication>
#include <QFont>
#include <QLabel>
#include <QTime>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdlib>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    const int columns = count <= 20 ? 5 : 10;
    QList<QLabel*> labels;
    for (int i = 0; i < count; ++i) {
        auto* window = new QWidget;
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->setWindowTitle(QStringLiteral("Plain %1").arg(i + 1));
        auto* layout = new QVBoxLayout(window);
        auto* label = new QLabel;
        QFont font = label->font();
        font.setPixelSize(80);
        font.setBold(true);
        label->setFont(font);
        label->setAlignment(Qt::AlignCenter);
        layout->addWidget(label);
        labels.append(label);
        window->resize(380, 260);
        window->move((i % columns) * 384, (i / columns) * 270);
        window->show();
    }
    const auto tick = [&labels] {
        const QString text = QTime::currentTime().toString(QStringLiteral("HH:mm:ss"));
        for (QLabel* label : labels) {
            label->setText(text);
        }
    };
    tick();
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, &app, tick);
    timer.start(1000);
    return QApplication::exec();
}

// The baseline for start-up figures: a bare Qt window with one button, of the size given
// ("bare_window 800 500": as large as the window it is measured against), else as small as the
// button.
#include <QApplication>
#include <QPushButton>

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    QPushButton button(QStringLiteral("Exit"));
    QObject::connect(&button, &QPushButton::clicked, &app, &QApplication::quit);
    if (argc > 2)
        button.resize(QString::fromLocal8Bit(argv[1]).toInt(),
                      QString::fromLocal8Bit(argv[2]).toInt());
    button.show();
    return app.exec();
}

#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QMainWindow w;
    w.setWindowTitle("Corvane v2.6.1              Meade LX200GPS");
    w.show();
    return app.exec();
}

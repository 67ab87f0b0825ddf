// Until the main window is built, the program says so in a window of its own.
#include <QApplication>
#include <QLabel>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QLabel label("Lorvex: the picture browser window is not built yet.");
    label.setWindowTitle("Lorvex");
    label.setMargin(24);
    label.show();
    return app.exec();
}

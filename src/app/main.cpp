#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName("SkarNel KT-6");
    QMainWindow window;
    window.setWindowTitle("SkarNel KT-6");
    window.show();
    return QApplication::exec();
}

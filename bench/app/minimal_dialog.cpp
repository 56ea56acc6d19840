// A plain modal dialog with one label: what any Qt Widgets program pays to
// put a window on the screen.

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QVBoxLayout>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QDialog dialog;
    dialog.setWindowTitle("Minimal Qt dialog");
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel("The floor for the start-up benchmark."));
    dialog.exec();
    return 0;
}

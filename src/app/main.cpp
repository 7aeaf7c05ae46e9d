// `vexilo`: starts the application and shows the main window until it closes.
#include "app/form_cad.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vexilo"));
    vexilo::app::FormCAD window;
    window.show();
    return QApplication::exec();
}

// ocmail: purchase-order mailing. The start-up and the main window come in later.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget w;
  w.setWindowTitle(QString::fromUtf8("Envio de mail a Proveedores por OC"));
  w.show();
  return app.exec();
}

#include "reports/qt/vista_previa.h"

#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPageLayout>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTextBrowser>
#include <QTextDocument>
#include <QVBoxLayout>

namespace reporte {
namespace {

void Preparar(QPrinter& impresora) {
  impresora.setPageSize(QPageSize(QPageSize::A4));
  impresora.setPageMargins(QMarginsF(12, 12, 12, 12), QPageLayout::Millimeter);
}

}  // namespace

bool VentanaVistaPrevia::GuardarPdf(const std::string& archivo) const {
  const QString ruta = QString::fromStdString(archivo);
  // The printer says nothing when it cannot write: an older file of that name goes first,
  // so that only the file written now can pass the check below.
  if (QFileInfo(ruta).isDir() || (QFileInfo::exists(ruta) && !QFile::remove(ruta))) return false;
  QPrinter impresora(QPrinter::HighResolution);
  Preparar(impresora);
  impresora.setOutputFormat(QPrinter::PdfFormat);
  impresora.setOutputFileName(ruta);
  impresora.setDocName(QString::fromStdString(Titulo()));
  QTextDocument documento;
  documento.setHtml(QString::fromStdString(Html()));
  documento.print(&impresora);
  QFileInfo info(ruta);
  return info.isFile() && info.size() > 0;
}

void VentanaVistaPrevia::EjecutarModal() {
  QDialog ventana;
  ventana.setObjectName(QString::fromStdString(NombreVentana()));
  ventana.setWindowTitle(QString::fromStdString(Titulo().empty() ? "Vista previa" : Titulo()));
  ventana.resize(900, 700);

  auto* texto = new QTextBrowser(&ventana);
  texto->setOpenExternalLinks(false);
  texto->setHtml(QString::fromStdString(Html()));

  auto* imprimir = new QPushButton("Imprimir", &ventana);
  auto* pdf = new QPushButton("Guardar PDF", &ventana);
  auto* cerrar = new QPushButton("Cerrar", &ventana);
  auto* botones = new QHBoxLayout;
  botones->addStretch();
  botones->addWidget(imprimir);
  botones->addWidget(pdf);
  botones->addWidget(cerrar);
  auto* capa = new QVBoxLayout(&ventana);
  capa->addWidget(texto);
  capa->addLayout(botones);

  QObject::connect(imprimir, &QPushButton::clicked, &ventana, [&] {
    QPrinter impresora(QPrinter::HighResolution);
    Preparar(impresora);
    QPrintDialog dialogo(&impresora, &ventana);
    if (dialogo.exec() == QDialog::Accepted) texto->document()->print(&impresora);
  });
  QObject::connect(pdf, &QPushButton::clicked, &ventana, [&] {
    QString nombre =
        QFileDialog::getSaveFileName(&ventana, "Guardar PDF", QString(), "Documentos PDF (*.pdf)");
    if (nombre.isEmpty()) return;
    if (!nombre.endsWith(".pdf", Qt::CaseInsensitive)) nombre += ".pdf";
    if (!GuardarPdf(nombre.toStdString())) {
      QMessageBox::critical(&ventana, "Aviso al Operador", "No se pudo guardar el archivo " + nombre);
    }
  });
  QObject::connect(cerrar, &QPushButton::clicked, &ventana, &QDialog::accept);
  ventana.exec();
}

void InstalarVistaPreviaQt() {
  InstalarFabricaVistaReporte([](const std::string& titulo, const std::string& html) {
    return std::make_unique<VentanaVistaPrevia>(titulo, html);
  });
}

}  // namespace reporte

#include "reports/qt/vista_previa.h"

#include "reports/escritor_pdf.h"

#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QAbstractTextDocumentLayout>
#include <QScreen>
#include <QTextOption>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPageLayout>
#include <QPrintDialog>
#include <QPdfWriter>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextBrowser>
#include <QTextDocument>
#include <QVBoxLayout>

namespace reporte {
namespace {

void Preparar(QPagedPaintDevice& impresora) {
  impresora.setPageSize(QPageSize(QPageSize::A4));
  impresora.setPageMargins(QMarginsF(12, 12, 12, 12), QPageLayout::Millimeter);
}

// Qt's rich text ignores a cell's nowrap attribute (and an inline style on a cell drops the
// style sheet's borders): the content of such cells goes into <nobr>, which it honours.
QString ConCeldasSinCorte(const QString& html) {
  static const QRegularExpression celda(
      R"((<t[dh]\b[^>]*\snowrap\b[^>]*>)((?:(?!<table|</t[dh]>).)*)(</t[dh]>))",
      QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
  QString r = html;
  r.replace(celda, "\\1<nobr>\\2</nobr>\\3");
  return r;
}

// Words break only between words: a date, an amount or an order number is one word.
void SoloEntrePalabras(QTextDocument& documento) {
  QTextOption opcion = documento.defaultTextOption();
  opcion.setWrapMode(QTextOption::WordWrap);
  documento.setDefaultTextOption(opcion);
}

// Prints the HTML laid out on the printer's page: the page's printable area measured at the
// screen's resolution, so that a 10pt text prints at 10pt and a 100% table spans the page.
// A table wider than that (too many columns for the page) is scaled down to fit the width.
void ImprimirEnPagina(const QString& html, QPagedPaintDevice& impresora) {
  QTextDocument documento;
  SoloEntrePalabras(documento);
  documento.setHtml(ConCeldasSinCorte(html));
  const QScreen* pantalla = QGuiApplication::primaryScreen();
  const qreal ppp = pantalla ? pantalla->logicalDotsPerInchX() : 96.0;
  const QSizeF puntos = impresora.pageLayout().paintRect(QPageLayout::Point).size();
  QSizeF pagina(puntos.width() * ppp / 72.0, puntos.height() * ppp / 72.0);
  documento.setPageSize(pagina);
  const qreal ancho = documento.documentLayout()->documentSize().width();
  if (ancho > pagina.width() + 0.5) documento.setPageSize(pagina * (ancho / pagina.width()));
  documento.print(&impresora);
}

}  // namespace

bool VentanaVistaPrevia::GuardarPdf(const std::string& archivo) const {
  const QString ruta = QString::fromStdString(archivo);
  // The printer says nothing when it cannot write: an older file of that name goes first,
  // so that only the file written now can pass the check below.
  if (QFileInfo(ruta).isDir() || (QFileInfo::exists(ruta) && !QFile::remove(ruta))) return false;
  {
    // QPdfWriter rather than a PDF QPrinter: no printing system is asked for anything.
    QPdfWriter impresora(ruta);
    impresora.setResolution(600);
    Preparar(impresora);
    impresora.setTitle(QString::fromStdString(Titulo()));
    impresora.setCreator("ocmail");
    ImprimirEnPagina(QString::fromStdString(Html()), impresora);
  }
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
  texto->setWordWrapMode(QTextOption::WordWrap);
  texto->setHtml(ConCeldasSinCorte(QString::fromStdString(Html())));

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
    if (dialogo.exec() == QDialog::Accepted) ImprimirEnPagina(QString::fromStdString(Html()), impresora);
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

void InstalarEscritorPdfQt() {
  InstalarEscritorPdf([](const std::string& titulo, const std::string& html, const std::string& archivo) {
    return VentanaVistaPrevia(titulo, html).GuardarPdf(archivo);
  });
}

void InstalarVistaPreviaQt() {
  InstalarEscritorPdfQt();
  InstalarFabricaVistaReporte([](const std::string& titulo, const std::string& html) {
    return std::make_unique<VentanaVistaPrevia>(titulo, html);
  });
}

}  // namespace reporte

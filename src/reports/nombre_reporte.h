#pragma once
// Which report file to run for a report name: the report table TA_REPORTES (a
// workstation-specific row "machine|user|name" first), the settlement, delivery-note and
// electronic-document rules, and the check and completion of each file name against the
// application folder. File names are found whatever their case on disk.
#include <array>
#include <string>

// The four copy files of a report (first to fourth copy).
using ArchivosReporte = std::array<std::string, 4>;

// NombreRpt: the report name ("OC-X"); rewritten to "machine|user|name" when ModoBusqueda
// is blank. Archivos (optional) receives the four copy files. Comprobante: the document
// number, for the delivery-note and electronic rules; may be empty. Runs under the error
// prompt with the routine name "NombreReporte$".
std::string NombreReporte(std::string& NombreRpt, const std::string& ModoBusqueda = "",
                          ArchivosReporte* Archivos = nullptr, const std::string& Comprobante = "");
std::string NombreReporte(const std::string& NombreRpt, const std::string& ModoBusqueda = "",
                          ArchivosReporte* Archivos = nullptr, const std::string& Comprobante = "");

// One file entry of TA_REPORTES (or "") as an existing report file, falling back on the
// files of the application folder named after the report; tells the operator ("Aviso al
// Operador") when the file is missing. Archivo is rewritten to the result.
std::string ValidarArchivoReporte(std::string& Archivo, const std::string& NombreBase);
std::string ValidarArchivoReporte(const std::string& Archivo, const std::string& NombreBase);

// The file test of the report routines: the path, without double quotes, is a file that
// can be opened for reading (found whatever its case). Never raises.
bool ArchivoReporteExiste(const std::string& ruta);

#include "reports/nombre_reporte.h"

#include <filesystem>
#include <fstream>

#include "companion/companion.h"
#include "data/db_dll.h"
#include "global/configuracion.h"
#include "global/errores.h"
#include "platform/ado/ado.h"
#include "platform/basic/pasos.h"
#include "platform/basic/texto.h"
#include "platform/os/rutas.h"
#include "platform/ui/operador.h"

namespace {

using basic::P;

// Values pasted into the statements below go between single quotes: a quote inside is
// doubled so that a name such as "O'Brien|..." cannot break the statement.

const basic::Variant kTexto(int32_t{8});

std::string Carpeta() { return gFunciones().AgregarBarra(os::CarpetaAplicacion()); }

// The directory search: a file of that name, whatever its case.
bool Dir(const std::string& ruta) { return os::ArchivoExisteSinCaso(ruta); }

bool TieneFila(ado::Recordset& rs) { return !rs.Eof(); }

std::string Columna(ado::Recordset& rs, const char* nombre) {
  return gFunciones().SinNulo(rs.Fields(nombre));
}

void Cerrar(ado::Recordset& rs) {
  try {
    if (rs.State() == ado::adStateOpen) gDB().CierraRecordset(rs);
  } catch (const ErrorEjecucion&) {
  }
}

const char* const kSelectReportes = "SELECT * FROM TA_REPORTES  with(nolock)  WHERE NOMBRE = '";

bool EsCompras(const std::string& codigo) {
  basic::Variant v = gDB().DatosTabla("V_TA_CPTE", codigo, "SISTEMA", "Codigo", kTexto, "", true, false);
  return basic::IgualesSinCaso(basic::Trim(v.Texto()), "Compras");
}

bool TerminaEnRpt(const std::string& s) {
  std::string t = basic::Trim(s);
  return basic::Len(t) >= 4 && basic::IgualesSinCaso(basic::Right(t, 4), ".RPT");
}

// usaefc "equals 1 or true": 1 or -1 as a number, or a true text.
bool UsaEfc(const basic::Variant& v) {
  if (v.EsNull() || v.EsEmpty()) return false;
  if (v.EsNumerico()) return v.Numero() == 1 || v.Numero() == -1;
  std::string t = basic::LCase(basic::Trim(v.Texto()));
  return t == "1" || t == "-1" || t == "true" || t == "verdadero";
}

}  // namespace

bool ArchivoReporteExiste(const std::string& ruta) {
  try {
    std::string limpia;
    for (char c : ruta) {
      if (c != '"') limpia += c;
    }
    std::string encontrado = os::BuscarArchivoSinCaso(limpia);
    if (encontrado.empty()) return false;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(encontrado, ec)) return false;
    std::ifstream in(encontrado, std::ios::binary);
    return static_cast<bool>(in);
  } catch (...) {
    return false;
  }
}

std::string ValidarArchivoReporte(std::string& Archivo, const std::string& NombreBase) {
  const std::string app = Carpeta();
  bool derivar = false;
  basic::EjecutarIgnorando({
      P([&] {
        if (!Archivo.empty()) return;
        Archivo = app + NombreBase + ".rpt";
        derivar = !Dir(Archivo);
      }),
      P([&] {
        if (!derivar) return;
        const int largo = basic::Len(NombreBase);
        auto guionEn = [&](int p) { return basic::Mid(NombreBase, p, 1) == "-"; };
        int tipo = 0;
        if (largo == 4 && guionEn(3))
          tipo = 2;
        else if (largo == 5 && guionEn(4))
          tipo = 3;
        else if (largo == 6 && guionEn(5))
          tipo = 4;
        if (tipo > 0) {
          Archivo = app + basic::Left(NombreBase, tipo) + ".RPT";
          if (!Dir(Archivo)) Archivo = "";
        } else {
          Archivo = "";
          if (EsCompras(NombreBase)) Archivo = app + "CpteCompras.RPT";
        }
      }),
      P([&] {
        if (!derivar || !Archivo.empty()) return;
        int guion = basic::InStr(NombreBase, "-");
        std::string tipo = guion > 0 ? basic::Left(NombreBase, guion - 1) : NombreBase;
        if (EsCompras(tipo)) Archivo = app + "CpteCompras.RPT";
      }),
      P([&] {
        if (!TerminaEnRpt(Archivo)) Archivo = app + Archivo + ".rpt";
      }),
      P([&] {
        if (ArchivoReporteExiste(Archivo)) return;
        ui::operador().MsgBox("No se encuentra el Archivo " + Archivo + " (" + NombreBase + ")" +
                                  " por favor verifique la configuración de Reportes" + "\r\n" +
                                  " Se tomara en su lugar el formulario " + app + NombreBase + ".rpt",
                              static_cast<int>(ui::vbCritical) + ui::vbOKOnly, "Aviso al Operador");
        Archivo = app + NombreBase + ".rpt";
      }),
  });
  return Archivo;
}

std::string ValidarArchivoReporte(const std::string& Archivo, const std::string& NombreBase) {
  std::string a = Archivo;
  return ValidarArchivoReporte(a, NombreBase);
}

std::string NombreReporte(std::string& NombreRpt, const std::string& ModoBusqueda, ArchivosReporte* Archivos,
                          const std::string& Comprobante) {
  Funciones& f = gFunciones();
  const std::string NombreBase = NombreRpt;
  const size_t guion = NombreBase.find('-');
  const std::string Tipo = guion == std::string::npos ? "" : NombreBase.substr(0, guion);

  std::string Resultado;
  bool EsElectronico = false;
  bool filaEquipo = false, filaNombre = false, Encontrado = false;
  const bool esRemito =
      basic::IgualesSinCaso(basic::Trim(Tipo), "RM") && basic::UCase(basic::Right(Comprobante, 1)) == "R";
  std::string Unidad, CarpetaE;
  ado::Recordset rsReporte, rsNombre, rsLiq, rsUnidad, rsPdv;

  auto validar = [&](const std::string& archivo) { return ValidarArchivoReporte(archivo, NombreBase); };
  auto todos = [&](const std::string& valor) {
    if (Archivos) Archivos->fill(valor);
  };
  auto cuatro = [&](ado::Recordset& rs) {
    if (!Archivos) return;
    const char* columnas[4] = {"Archivo", "Archivo2", "Archivo3", "Archivo4"};
    for (int i = 0; i < 4; ++i) (*Archivos)[i] = validar(Columna(rs, columnas[i]));
  };
  auto abrir = [&](const std::string& sql, ado::Recordset& rs) {
    Cerrar(rs);
    gDB().AbrirRecordset(sql, rs, nullptr, ado::adOpenForwardOnly, ado::adLockReadOnly, -1, true);
  };
  auto rutaFormulariosE = [] { return basic::Trim(Cfg("RUTA_FORMULARIOS_EFACTURA")); };

  basic::EjecutarPasos(
      {
          // 1. Listed as an electronic document?
          P([&] {
            EsElectronico =
                gDB().ExisteEnTabla("V_MV_CPTE_ELECTRONICOS", Tipo, "TC", nullptr, kTexto,
                                    " TC='" + basic::DoblarComillas(Tipo) + "' AND IDCOMPROBANTE='" +
                                        basic::DoblarComillas(basic::Trim(Comprobante)) + "'",
                                    true);
          }),
          // 2. The workstation-specific name first.
          P([&] {
            if (basic::Trim(ModoBusqueda).empty())
              NombreRpt = gEquipo().NombreEquipo() + "|" + gEquipo().UsuarioWindows() + "|" + NombreRpt;
          }),
          // 3. The row under that name.
          P([&] {
            abrir(kSelectReportes + basic::DoblarComillas(basic::Trim(NombreRpt)) + "'", rsReporte);
            filaEquipo = TieneFila(rsReporte);
          }),
          P([&] {
            if (filaEquipo) Resultado = validar(Columna(rsReporte, "Archivo"));
          }),
          P([&] {
            if (filaEquipo) cuatro(rsReporte);
          }),
          // 4. The plain name: empty copy columns repeat the copy before them.
          P([&] {
            if (filaEquipo) return;
            abrir(kSelectReportes + basic::DoblarComillas(basic::Trim(NombreBase)) + "'", rsNombre);
            filaNombre = TieneFila(rsNombre);
          }),
          P([&] {
            if (filaNombre) Resultado = validar(Columna(rsNombre, "Archivo"));
          }),
          P([&] {
            if (!filaNombre || !Archivos) return;
            (*Archivos)[0] = validar(Columna(rsNombre, "Archivo"));
            const char* columnas[3] = {"Archivo2", "Archivo3", "Archivo4"};
            for (int i = 1; i < 4; ++i) {
              std::string a = Columna(rsNombre, columnas[i - 1]);
              (*Archivos)[i] = a.empty() ? (*Archivos)[i - 1] : validar(a);
            }
          }),
          // 5. No definition: the settlement report, else the default files.
          P([&] {
            if (filaEquipo || filaNombre || !basic::IgualesSinCaso(NombreBase, "LiqOpg")) return;
            abrir("SELECT * FROM TA_REPORTES  with(nolock)  WHERE NOMBRE = 'OPG-X' OR NOMBRE = 'PG-X' ",
                  rsLiq);
            if (!TieneFila(rsLiq)) return;
            Resultado = validar(Columna(rsLiq, "Archivo"));
            if (Archivos) {
              cuatro(rsLiq);
              Encontrado = true;
            }
          }),
          P([&] {
            if (filaEquipo || filaNombre || Encontrado) return;
            Resultado = validar("");
            if (Archivos) {
              for (int i = 0; i < 4; ++i) (*Archivos)[i] = validar("");
            }
          }),
          // 6. Delivery notes: the business unit's folder, else the electronic forms folder.
          P([&] {
            if (!esRemito) return;
            Unidad =
                gDB()
                    .DatosTabla("V_MV_CPTE", Comprobante, "UNEGOCIO", "IDCOMPROBANTE", kTexto,
                                " TC='RM' AND IDCOMPROBANTE='" + basic::DoblarComillas(Comprobante) + "'",
                                true, false)
                    .Texto();
          }),
          P([&] {
            if (!esRemito || basic::Trim(Unidad).empty()) return;
            std::string Codigo = f.FormatearTexto(Unidad, 4);
            abrir("SELECT * FROM V_TA_UNIDADNEGOCIO WHERE CODIGO='" + basic::DoblarComillas(Codigo) + "'",
                  rsUnidad);
          }),
          P([&] {
            if (!esRemito || basic::Trim(Unidad).empty()) return;
            std::string ruta = TieneFila(rsUnidad) ? Columna(rsUnidad, "ruta_reporte") : "";
            if (!basic::Trim(ruta).empty()) {
              std::string carpeta = f.AgregarBarra(basic::Trim(ruta));
              if (ArchivoReporteExiste(carpeta + "RM-R.rpt")) todos(f.AgregarBarra(ruta) + "RM-R.rpt");
              return;
            }
            std::string cfg = rutaFormulariosE();
            if (cfg.empty()) return;
            std::string carpeta = f.AgregarBarra(cfg);
            if (ArchivoReporteExiste(carpeta + "RM-R.rpt")) {
              Resultado = carpeta + "RM-R.rpt";
              todos(Resultado);
            }
          }),
          // 7. Electronic documents: "e" + name in the point of sale's folder.
          P([&] {
            if (!EsElectronico) return;
            CarpetaE = "";
            bool propia = false;
            if (!basic::Trim(Comprobante).empty()) {
              abrir("SELECT * FROM V_TA_UNIDADNEGOCIO WHERE LTRIM(PDV)='" +
                        basic::DoblarComillas(basic::Trim(basic::Left(Comprobante, 4))) + "'",
                    rsPdv);
              if (TieneFila(rsPdv) && UsaEfc(rsPdv.Fields("usaefc").Value()) &&
                  !basic::Trim(Columna(rsPdv, "ruta_reporte")).empty()) {
                CarpetaE = basic::Trim(Columna(rsPdv, "ruta_reporte"));
                propia = true;
              }
            }
            if (!propia) CarpetaE = rutaFormulariosE();
          }),
          P([&] {
            if (!EsElectronico || CarpetaE.empty()) return;
            Resultado = validar(f.AgregarBarra(CarpetaE) + "e" + NombreBase + ".RPT");
            todos(Resultado);
          }),
      },
      [](const ErrorEjecucion& e) { return AvisoError(e, "NombreReporte$"); });

  for (auto* rs : {&rsReporte, &rsNombre, &rsLiq, &rsUnidad, &rsPdv}) Cerrar(*rs);
  return Resultado;
}

std::string NombreReporte(const std::string& NombreRpt, const std::string& ModoBusqueda,
                          ArchivosReporte* Archivos, const std::string& Comprobante) {
  std::string n = NombreRpt;
  return NombreReporte(n, ModoBusqueda, Archivos, Comprobante);
}

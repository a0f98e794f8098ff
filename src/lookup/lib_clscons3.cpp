#include "lookup/lib_clscons3.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <algorithm>
#include <functional>

#include "data/db_dll.h"
#include "global/apariencia.h"
#include "global/configuracion.h"
#include "lookup/lib_frmcons3.h"
#include "lookup/lib_frmcons3tree.h"
#include "lookup/modelo_filas.h"
#include "lookup/sentencias.h"
#include "platform/ado/ado.h"
#include "platform/basic/archivos.h"
#include "platform/basic/numero.h"
#include "platform/basic/texto.h"
#include "platform/os/rutas.h"
#include "platform/ui/operador.h"

namespace {

// Every step of the engine runs with its failures ignored.
void Paso(const std::function<void()>& f) {
  try {
    f();
  } catch (const std::exception&) {
  }
}

basic::Variant ColorCfg(const std::string& clave) {
  const std::string v = basic::Trim(Cfg(clave));
  if (v.empty()) return basic::Variant(int32_t{0});
  return basic::Variant(static_cast<int32_t>(static_cast<int64_t>(basic::Val(v))));
}

int Px(int twips) { return ui::TwipsAPixeles(twips); }
int Tw(int pixeles) {
  const int porPulgada = std::max(1, ui::TwipsAPixeles(1440));
  return static_cast<int>(pixeles * 1440.0 / porPulgada + 0.5);
}

int AnchoPantallaTwips() {
  if (auto* pantalla = QGuiApplication::primaryScreen()) return Tw(pantalla->availableGeometry().width());
  return 15360;
}

enum class Resultado { Mostrar, SinConfigurar, SinTabla };

}  // namespace

Lib_ClsCons3& gClsCons3() {
  static Lib_ClsCons3 instancia;
  return instancia;
}

Lib_ClsCons3::Lib_ClsCons3() {
  Paso([&] { MuestraStock = basic::Trim(Cfg("MostrarStockenConsultas")); });
  Paso([&] { StkNivel1 = ColorCfg("Stk_Nivel1"); });
  Paso([&] { StkNivel2 = ColorCfg("Stk_Nivel2"); });
  Paso([&] { StkNivel3 = ColorCfg("Stk_Nivel3"); });
  Paso([&] { StkNivel4 = ColorCfg("Stk_Nivel4"); });
  Paso([&] { usaConsultaLike_ = basic::UCase(basic::Trim(Cfg("UsaConsultaLike"))) == "SI"; });
}

void Lib_ClsCons3::ConsultaSearch(const std::string& SQL) {
  RefColeccion columnas;
  std::string campoBusqueda, where;
  ConsultaSearch(SQL, columnas, "", campoBusqueda, where, "", false, "");
}

bool Lib_ClsCons3::Generar(const std::string& SQL, long n, std::string& CampoBusqueda,
                           const std::string& Where, const std::string& SentenciaOpcional,
                           std::string& sentencia) {
  if (!basic::Trim(SentenciaOpcional).empty()) {
    sentencia = SentenciaOpcional;
    return true;
  }
  std::string columnas;
  if (basic::IgualesSinCaso(SQL, "V_TA_DEPOSITO")) {
    columnas = "Descripcion,IdDeposito,UnidadNegocio";
    CampoBusqueda = "IDDEPOSITO";
  } else {
    ado::Recordset rs;
    gDB().AbrirRecordset("select top 1 * from " + SQL, rs, nullptr, 0, 1, -1, true);
    // The table could not be read (the data layer has told the operator why).
    if (rs.State() != ado::adStateOpen) return false;
    std::vector<std::string> campos;
    Paso([&] {
      for (long i = 0; i < rs.FieldCount(); ++i) campos.push_back(rs.Fields(i).Name());
    });
    columnas = ColumnasDeCampos(SQL, campos, CampoBusqueda);
    gDB().CierraRecordset(rs);
  }
  sentencia = SentenciaGenerada(SQL, columnas, n, CampoBusqueda, Where);
  return true;
}

bool Lib_ClsCons3::ArmarSentencia(const std::string& SQL, std::string& CampoBusqueda, std::string& Where,
                                  const std::string& SentenciaOpcional, std::string& sentencia) {
  const long n = LimiteFilas(Cfg("TopConsArt"));
  if (basic::InStr(SQL, "SELECT", basic::CompararTexto) > 0) {
    sentencia = SentenciaDada(SQL, Where);
    return true;
  }
  if (gUsarMascarasConsultas && os::ArchivoExisteSinCaso(gRutaMascaraConsultas)) {
    if (auto def = BuscarDefinicion(gRutaMascaraConsultas, SQL)) {
      definicion_ = *def;
      if (!SentenciaDefinicion(definicion_, n, CampoBusqueda, Where, sentencia)) {
        sentencia.clear();
        return true;  // told below: nothing to show
      }
      return true;
    }
  }
  // No definition applies (or there is no definitions file): the table describes itself.
  return Generar(SQL, n, CampoBusqueda, Where, SentenciaOpcional, sentencia);
}

void Lib_ClsCons3::ConsultaSearch(const std::string& SQL, RefColeccion& cmpsDevueltos,
                                  const std::string& Clave, std::string& CampoBusqueda, std::string& Where,
                                  const std::string& SentenciaOpcional, bool TreeView,
                                  const std::string& ValoresDefault) {
  ultimaSentencia_.clear();
  std::string sentencia;
  Resultado resultado = Resultado::SinTabla;
  Paso([&] { NormalizarWhere(Where); });
  Paso([&] {
    if (!ArmarSentencia(SQL, CampoBusqueda, Where, SentenciaOpcional, sentencia))
      resultado = Resultado::SinTabla;
    else
      resultado = sentencia.empty() ? Resultado::SinConfigurar : Resultado::Mostrar;
  });

  if (resultado == Resultado::SinConfigurar) {
    ui::operador().MsgBox("Debe configurar la consulta para esta tabla", ui::vbInformation,
                          "Aviso al operador");
    return;
  }

  if (resultado == Resultado::Mostrar) {
    ultimaSentencia_ = sentencia;
    if (TreeView) {
      Lib_FrmCons3Tree arbol;
      Paso([&] {
        arbol.SQL = sentencia;
        arbol.CampoDevuelto = CampoDevuelto;
        arbol.CheckBoxes = Checks;
        Valores = NuevaColeccion();
      });
      Paso([&] { arbol.Cargar(); });
      Paso([&] { ui::operador().MostrarModal(arbol); });
      Paso([&] {
        ValorDevuelto = arbol.ValorDevuelto;
        Valores = arbol.Valores;
        Checks = false;
      });
      Paso([&] { arbol.Form_Unload(); });
    } else {
      Lib_FrmCons3 lista;
      Paso([&] {
        lista.StkNivel1 = StkNivel1;
        lista.StkNivel2 = StkNivel2;
        lista.StkNivel3 = StkNivel3;
        lista.StkNivel4 = StkNivel4;
        lista.MuestraStock = MuestraStock;
        lista.CfgUsaConsultaLIKE = usaConsultaLike_;
        lista.OrdenarPorLwv = basic::InStr(sentencia, "ORDER BY", basic::CompararTexto) == 0;
        lista.FiltroInicial = Clave;
        lista.CampoBusqueda = CampoBusqueda;
        if (basic::Trim(gConnString).empty()) gConnString = gDB().gConnString;
        lista.SQL = sentencia;
        lista.gConnString = gConnString;
        lista.CampoDevuelto = CampoDevuelto;
        lista.CheckBoxes = Checks;
        lista.UsaCantidades = UsaCantidades;
        lista.ValoresDefault = ValoresDefault;
      });
      Paso([&] {
        Valores = NuevaColeccion();
        Cantidades = NuevaColeccion();
        lista.CmpsDevueltos = cmpsDevueltos;
        lista.Valores = Valores;
        lista.Cantidades = Cantidades;
      });
      Paso([&] { lista.Cargar(); });
      Paso([&] {
        if (Checks) lista.Lista().DesmarcarTodas();
      });
      Paso([&] { ui::operador().MostrarModal(lista); });
      Paso([&] {
        Checks = false;
        Valores = lista.Valores;
        Cantidades = lista.Cantidades;
        ValorDevuelto = lista.ValorDevuelto;
        lista.CampoDevuelto.clear();
      });
      Paso([&] {
        lista.Valores = nullptr;
        lista.Cantidades = nullptr;
        lista.Form_Unload();
      });
    }
  } else {
    // The table could not be read: nothing was shown, nothing was chosen.
    Paso([&] {
      ValorDevuelto = basic::Variant(std::string());
      Valores = NuevaColeccion();
      Checks = false;
    });
  }

  CampoDevuelto.clear();
  if (cmpsDevueltos) {
    while (!cmpsDevueltos->empty()) cmpsDevueltos->erase(cmpsDevueltos->begin());
    cmpsDevueltos = nullptr;
  }
}

// ---------------------------------------------------------------- choosers

std::string Lib_ClsCons3::Elegir(Chooser tipo, const std::string& Titulo, const std::vector<std::string>& Opc,
                                 const std::string& archivo) {
  Lib_FrmCons3 w;
  std::string resultado;
  Paso([&] {
    w.SQL.clear();
    w.Cargar();
    w.setWindowTitle(QString::fromStdString(Titulo));
    w.CmdNueva()->hide();
    w.OrdenarPorLwv = true;
    w.gConnString.clear();
    w.CampoDevuelto = Titulo;
    w.CheckBoxes = tipo == Chooser::Check;
    w.MostrarCasillas(w.CheckBoxes);
  });
  const int anchoLista = Tw(w.ListView1()->width());
  Paso([&] {
    w.CmbSearch(0)->resize(w.ListView1()->width(), w.CmbSearch(0)->height());
    w.LimpiarColumnas();
    w.AgregarColumna(Titulo, anchoLista);
  });
  int mayor = basic::Len(Titulo);
  Paso([&] {
    if (tipo == Chooser::Archivo) {
      basic::ArchivoTexto f(os::ResolverSinCaso(archivo), basic::ArchivoTexto::Modo::Lectura);
      std::string linea;
      while (f.LeerLinea(linea)) {
        mayor = std::max(mayor, basic::Len(linea));
        w.AgregarFila(linea, false);
      }
      f.Cerrar();
      return;
    }
    for (const auto& opcion : Opc) {
      if (tipo == Chooser::Check) {
        const std::string texto = basic::Mid(opcion, 2);
        mayor = std::max(mayor, basic::Len(texto));
        w.AgregarFila(texto, basic::Left(opcion, 1) == "1");
      } else {
        mayor = std::max(mayor, basic::Len(opcion));
        w.AgregarFila(opcion, false);
      }
    }
  });
  Paso([&] {
    const int pantalla = AnchoPantallaTwips();
    const int ancho = mayor * 120 < pantalla ? mayor * 120 : pantalla;
    w.resize(Px(ancho), w.height());
    // The single column follows the list as the window settles.
    w.FijarAnchoColumna(1, std::max(anchoLista, Tw(w.ListView1()->width()) - 360));
  });
  Paso([&] { ui::operador().MostrarModal(w); });
  Paso([&] {
    if (tipo == Chooser::Check)
      Valores = w.Valores;
    else
      resultado = w.ValorDevuelto.Texto();
  });
  Paso([&] { w.Form_Unload(); });
  return resultado;
}

std::string Lib_ClsCons3::CheckOpciones(const std::string& Titulo, const RefColeccion&,
                                        const std::vector<std::string>& Opc) {
  Elegir(Chooser::Check, Titulo, Opc, "");
  return "";
}

std::string Lib_ClsCons3::MenuOpciones(const std::string& Titulo, const std::vector<std::string>& Opc) {
  return Elegir(Chooser::Menu, Titulo, Opc, "");
}

std::string Lib_ClsCons3::ConsultaDesdeArchivo(const std::string& Titulo, const std::string& QueArchivo,
                                               const std::string&) {
  if (!ArchivoExiste(QueArchivo)) {
    ui::operador().MsgBox("No existe el archivo " + QueArchivo + " que desea consultar consulta ",
                          ui::vbOKOnly, os::NombreEjecutable());
    return "";
  }
  return Elegir(Chooser::Archivo, Titulo, {}, basic::Replace(QueArchivo, "\"", ""));
}

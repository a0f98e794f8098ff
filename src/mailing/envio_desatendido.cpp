#include "mailing/envio_desatendido.h"

#include <map>
#include <utility>

#include "companion/companion.h"
#include "companion/rutas_correo.h"
#include "data/db_dll.h"
#include "mailing/despacho.h"
#include "mailing/devueltas.h"
#include "mailing/estado_entregas.h"
#include "mailing/lista_pendientes.h"
#include "platform/ado/ado.h"
#include "platform/basic/error.h"
#include "platform/basic/fecha.h"
#include "platform/basic/regional.h"
#include "platform/basic/texto.h"
#include "platform/os/rutas.h"
#include "platform/os/sistema.h"
#include "platform/ui/operador.h"
#include "startup/acceso.h"
#include "startup/cargar_parametros.h"

const char* const kUsoEnviar =
    "Uso: ocmail --enviar \"LINEA DE INICIO\" [--proveedor-desde X] [--proveedor-hasta Y]\n"
    "                 [--usuario U] [--fecha-desde D] [--fecha-hasta H] [--asunto S]\n"
    "                 [--mensaje M] [--simular]\n"
    "Envia por mail, sin ventana, las ordenes de compra pendientes de envio que tienen una\n"
    "direccion de e-mail valida. Codigos de salida: 0 todas entregadas al programa de\n"
    "correo; 1 algunas omitidas; 2 un error detuvo el envio.\n";

namespace {

// A window that would wait for a person: the run cannot go on.
struct VentanaSinOperador {
  std::string nombre;
};

// Answers every question with the safe answer (stop, do not stamp) and says so on
// standard error. It never waits for input.
class OperadorDesatendido : public ui::Operador {
 public:
  explicit OperadorDesatendido(std::ostream& errores) : errores_(errores) {}

  int MsgBox(const std::string& texto, int estilo, const std::string& titulo) override {
    int respuesta = ui::vbOK;
    const char* nombre = "Aceptar";
    switch (estilo & 7) {
      case ui::vbOKCancel:
      case ui::vbRetryCancel:
      case ui::vbYesNoCancel:
        respuesta = ui::vbCancel;
        nombre = "Cancelar";
        break;
      case ui::vbAbortRetryIgnore:
        respuesta = ui::vbAbort;
        nombre = "Anular";
        break;
      case ui::vbYesNo:
        respuesta = ui::vbNo;
        nombre = "No";
        break;
      default: break;
    }
    errores_ << titulo << ": " << basic::Replace(basic::Replace(texto, "\r\n", "\n"), "\n\n", "\n") << "\n"
             << "  (respuesta sin operador: " << nombre << ")\n";
    errores_.flush();
    return respuesta;
  }
  std::string InputBox(const std::string& texto, const std::string& titulo, const std::string&) override {
    errores_ << titulo << ": " << texto << "\n  (respuesta sin operador: Cancelar)\n";
    return "";
  }
  std::string ElegirFecha() override { return ""; }
  std::string AbrirArchivo(const std::string&, const std::string&, const std::string&) override { return ""; }
  void MostrarModal(ui::VentanaModal& ventana) override { throw VentanaSinOperador{ventana.NombreVentana()}; }
  [[noreturn]] void FinPrograma(int codigo) override { throw ui::FinDelPrograma{codigo}; }

 private:
  std::ostream& errores_;
};

class OperadorInstalado {
 public:
  explicit OperadorInstalado(ui::Operador* o) : previo_(&ui::operador()) { ui::InstalarOperador(o); }
  ~OperadorInstalado() { ui::InstalarOperador(previo_); }

 private:
  ui::Operador* previo_;
};

// Texts from the database go to the cron log one line per order: control characters shown.
std::string Orden(const FilaDespacho& f, const std::string& idComprobante) {
  std::string t = f.cuenta + " " + f.tc + " " + idComprobante;
  if (!f.razonSocial.empty()) t += "  " + f.razonSocial;
  return basic::TextoVisible(t);
}

// "\n" written in the INI's Mensaje stands for a line break.
std::string SaltosDeLinea(const std::string& s) { return basic::Replace(s, "\\n", "\n"); }

}  // namespace

bool LeerArgumentosEnvio(const std::vector<std::string>& args, OpcionesEnvioDesatendido& o,
                         std::string& error) {
  const std::map<std::string, std::string*> conValor = {{"--proveedor-desde", &o.filtros.provDesde},
                                                        {"--proveedor-hasta", &o.filtros.provHasta},
                                                        {"--usuario", &o.filtros.usuario},
                                                        {"--fecha-desde", &o.filtros.fechaDesde},
                                                        {"--fecha-hasta", &o.filtros.fechaHasta},
                                                        {"--asunto", &o.asunto},
                                                        {"--mensaje", &o.mensaje}};
  bool hayLinea = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--simular") {
      o.simular = true;
    } else if (auto it = conValor.find(a); it != conValor.end()) {
      if (i + 1 >= args.size()) {
        error = "falta el valor de " + a;
        return false;
      }
      *it->second = basic::Trim(args[++i]);
      if (a == "--asunto") o.hayAsunto = true;
      if (a == "--mensaje") o.hayMensaje = true;
    } else if (a.rfind("--", 0) == 0) {
      error = "opcion desconocida " + a;
      return false;
    } else {
      // The launch line, in one argument or split at blanks as the menu passes it.
      o.linea += (hayLinea ? " " : "") + a;
      hayLinea = true;
    }
  }
  if (!hayLinea) {
    error = "falta la linea de inicio";
    return false;
  }
  return true;
}

bool ValidarArgumentosEnvio(const OpcionesEnvioDesatendido& o, std::string& error) {
  auto valor = [](const std::string& opcion, const std::string& v) {
    return "el valor de " + opcion + " \"" + basic::TextoVisible(v) + "\"";
  };
  const std::pair<const char*, const std::string*> fechas[] = {{"--fecha-desde", &o.filtros.fechaDesde},
                                                               {"--fecha-hasta", &o.filtros.fechaHasta}};
  for (const auto& [opcion, v] : fechas) {
    if (v->empty() || basic::IsDate(*v)) continue;
    std::string patron = basic::LCase(basic::regional().fechaCorta);
    for (char& c : patron)
      if (c == 'y') c = 'a';
    error = valor(opcion, *v) + " no es una fecha válida (escriba la fecha como " + patron + ")";
    return false;
  }
  const std::pair<const char*, const std::string*> textos[] = {{"--proveedor-desde", &o.filtros.provDesde},
                                                               {"--proveedor-hasta", &o.filtros.provHasta},
                                                               {"--usuario", &o.filtros.usuario},
                                                               {"--asunto", &o.asunto},
                                                               {"--mensaje", &o.mensaje}};
  for (const auto& [opcion, v] : textos) {
    // The message may hold line breaks; nothing else may hold a control character.
    const bool mensaje = v == &o.mensaje;
    if (basic::TieneControl(mensaje ? basic::Replace(basic::Replace(*v, "\r", ""), "\n", "") : *v)) {
      error = valor(opcion, *v) + " tiene caracteres de control";
      return false;
    }
    if ((v == &o.asunto || mensaje) && basic::Len(*v) > kLargoTextoCorreo) {
      error = "el valor de " + std::string(opcion) + " tiene " + std::to_string(basic::Len(*v)) +
              " caracteres; el máximo es " + std::to_string(kLargoTextoCorreo);
      return false;
    }
  }
  return true;
}

int EnviarDesatendido(const OpcionesEnvioDesatendido& o, std::ostream& salida, std::ostream& errores) {
  // Values that are not valid stop the run before anything is opened or written: a cron
  // line with a mistyped date must not widen the run to every pending order.
  CargarRegional(gArchivoIni());
  if (std::string error; !ValidarArgumentosEnvio(o, error)) {
    errores << "ocmail: " << error << ". No se envió ninguna orden.\n";
    return kEnvioFallido;
  }
  OperadorDesatendido operador(errores);
  OperadorInstalado instalado(&operador);
  // A database another program holds: one line when a wait starts, bounded by CommandTimeout.
  struct EsperaDicha {
    ~EsperaDicha() { ado::FijarAlEsperarBase(nullptr); }
  } quitarEspera;
  ado::FijarAlEsperarBase([&errores, dicho = false](double segundos) mutable {
    if (segundos < 0.5) dicho = false;
    if (segundos >= 1 && !dicho) {
      errores << "ocmail: esperando la base de datos (bloqueada por otro programa)…" << std::endl;
      dicho = true;
    }
    return true;
  });
  auto fallo = [&](const std::string& texto) {
    errores << "Envío detenido: " << texto << "\n";
    salida << "Envío detenido: " << texto << "\n";
    return kEnvioFallido;
  };

  std::vector<FilaPendiente> pendientes;
  EntregasOrdenes entregas;
  try {
    std::string connString;
    CargarParametros(false, o.linea, connString, 3);
    DB_Dll& db = gDB();
    if (!db.gOpenFlag) return fallo("no hay conexión con la base de datos.");
    SaldarReclamosDe(os::CarpetaAplicacion());
    // A mail that failed for good: its order is pending again before the list is read.
    entregas = EntregasOrdenes::Leer(ArchivoEntregasDe(os::CarpetaAplicacion()));
    DevolverFallidas(os::CarpetaAplicacion(), entregas);
    ado::Recordset rs;
    db.AbrirRecordset(ConsultaPendientes(o.filtros, true), rs, nullptr, ado::adOpenForwardOnly,
                      ado::adLockReadOnly, -1, true);
    if (rs.State() != ado::adStateOpen) {
      CerrarSistemaSinSalir();
      return fallo("no se pudo leer la lista de órdenes pendientes.");
    }
    std::vector<std::string> repetidas;
    LeerPendientes(rs, pendientes, repetidas);
    db.CierraRecordset(rs);
  } catch (const ui::FinDelPrograma&) {
    return fallo("el programa terminó durante el inicio (vea los avisos anteriores).");
  } catch (const VentanaSinOperador& v) {
    return fallo("la ventana " + v.nombre + " necesita un operador; complete la línea de inicio.");
  } catch (const ErrorEjecucion& e) {
    CerrarSistemaSinSalir();
    return fallo(e.Description);
  }

  std::vector<FilaDespacho> filas;
  for (const FilaPendiente& p : pendientes)
    filas.push_back({p.Texto(), p.SubItem(colTC), p.SubItem(colIdComprobante), p.SubItem(colMail), true,
                     p.SubItem(colRazonSocial), p.SubItem(colEnviado)});
  int omitidas = 0;
  std::map<std::pair<std::string, std::string>, const FilaDespacho*> porOrden;
  for (FilaDespacho& f : filas) {
    porOrden[{f.cuenta, f.idComprobante}] = &f;
    // Not mailed again, day after day, to the address that failed.
    if (entregas.Estado(f.cuenta, f.idComprobante) == EstadoEntrega::Fallido &&
        MismasDirecciones(f.mail, entregas.Destinatario(f.cuenta, f.idComprobante))) {
      f.marcada = false;
      ++omitidas;
      salida << (o.simular ? "Se omitiría " : "Omitida     ") << Orden(f, f.idComprobante) << ": el mail a "
             << basic::TextoVisible(basic::Trim(f.mail))
             << " no se pudo entregar; corrija la dirección del proveedor\n";
      continue;
    }
    if (!SinDireccionValida(f)) continue;
    f.marcada = false;  // never handed over: listed here instead of the window's question
    ++omitidas;
    const std::string motivo =
        basic::Trim(f.mail).empty()
            ? "el proveedor no tiene dirección de e-mail."
            : "la dirección de e-mail del proveedor no es válida: " + DireccionNoValida(f.mail);
    salida << (o.simular ? "Se omitiría " : "Omitida     ") << Orden(f, f.idComprobante) << ": " << motivo
           << "\n";
  }
  const int aEnviar = static_cast<int>(filas.size()) - omitidas;

  if (o.simular) {
    for (const FilaDespacho& f : filas)
      if (f.marcada)
        salida << "Se enviaría " << Orden(f, f.idComprobante) << "  <" << basic::TextoVisible(f.mail)
               << ">\n";
    salida << "Simulación: " << aEnviar << " orden(es) se enviarían, " << omitidas
           << " se omitirían. No se envió ni se marcó ninguna.\n";
    CerrarSistemaSinSalir();
    return omitidas ? kAlgunaOmitida : kTodasEntregadas;
  }
  if (aEnviar == 0) {
    salida << (filas.empty() ? "No hay órdenes pendientes de envío.\n"
                             : "Resumen: 0 entregadas al programa de correo, " + std::to_string(omitidas) +
                                   " omitida(s).\n");
    CerrarSistemaSinSalir();
    return omitidas ? kAlgunaOmitida : kTodasEntregadas;
  }

  const std::string app = os::CarpetaAplicacion();
  const RutasCorreo correo = LeerRutasCorreo(app, os::sistema().Entorno("TSPOST_INI").value_or(""));
  const std::string asunto = o.hayAsunto ? o.asunto : correo.asunto;
  const std::string mensaje = o.hayMensaje ? SaltosDeLinea(o.mensaje) : SaltosDeLinea(correo.mensaje);

  ResultadoDespacho r;
  try {
    r = Despacho(opcionesDespacho()).Ejecutar(filas, asunto, mensaje, nullptr);
  } catch (const ui::FinDelPrograma&) {
    return fallo("el programa terminó durante el envío (vea los avisos anteriores).");
  } catch (const VentanaSinOperador& v) {
    return fallo("la ventana " + v.nombre + " necesita un operador.");
  }

  // What the mail program said of each mail handed over; a refusal for good brings the
  // order back at once.
  const EntregasOrdenes despues = EntregasOrdenes::Leer(ArchivoEntregasDe(app));
  DevolverFallidas(app, despues);
  int entregadas = 0, enCola = 0, fallidas = 0;
  for (const ResultadoOrden& res : r.ordenes) {
    auto it = porOrden.find({res.cuenta, res.idComprobante});
    FilaDespacho fila{res.cuenta, res.tc, res.idComprobante, "", false, ""};
    if (it != porOrden.end()) fila = *it->second;
    if (!fila.marcada && (res.estado == EstadoOrden::SinMail || res.estado == EstadoOrden::MailNoValido))
      continue;  // listed above
    const std::string orden = Orden(fila, res.idComprobante);
    switch (res.estado) {
      case EstadoOrden::Enviada: {
        const std::string a = "  <" + basic::TextoVisible(fila.mail) + ">";
        const std::string detalle = basic::TextoVisible(despues.Detalle(res.cuenta, res.idComprobante));
        switch (despues.Estado(res.cuenta, res.idComprobante)) {
          case EstadoEntrega::Enviado:
            ++entregadas;
            salida << "Entregada   " << orden << a << "\n";
            break;
          case EstadoEntrega::Fallido:
            ++fallidas;
            salida << "Fallida     " << orden << a << ": " << detalle << "\n";
            break;
          case EstadoEntrega::Pendiente:
            ++enCola;
            salida << "En cola     " << orden << a << ": " << detalle << "\n";
            break;
          case EstadoEntrega::Ninguno:
            ++enCola;
            salida << "En cola     " << orden << a << ": el programa de correo aún no informó el resultado\n";
            break;
        }
        break;
      }
      case EstadoOrden::NoPendiente:
      case EstadoOrden::YaEnviada:
      case EstadoOrden::SinMail:
      case EstadoOrden::MailNoValido:
        ++omitidas;
        salida << "Omitida     " << orden << ": "
               << (res.detalle.empty() ? "ya no está pendiente de envío." : basic::TextoVisible(res.detalle))
               << "\n";
        break;
      case EstadoOrden::NoIntentada:
        ++fallidas;
        salida << "No enviada  " << orden << ": "
               << (res.detalle.empty() ? "el envío se detuvo antes de esta orden"
                                       : basic::TextoVisible(res.detalle))
               << "\n";
        break;
      default:
        ++fallidas;
        salida << "Fallida     " << orden << ": " << basic::TextoVisible(res.detalle) << "\n";
        break;
    }
  }
  salida << "Resumen: " << entregadas << " entregada(s), " << enCola << " en cola, " << omitidas
         << " omitida(s), " << fallidas << " fallida(s) o no enviada(s).\n";
  salida.flush();
  // What waits in the spool (server down) is retried by the mail program on its own.
  ReintentarEnSegundoPlano(app);
  CerrarSistemaSinSalir();
  if (fallidas || r.detenido) return kEnvioFallido;
  return omitidas ? kAlgunaOmitida : kTodasEntregadas;
}

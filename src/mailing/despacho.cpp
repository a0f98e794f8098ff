#include "mailing/despacho.h"

#include <cstdio>
#include <unistd.h>
#include <cassert>
#include <ctime>
#include <filesystem>
#include <map>
#include <optional>
#include <thread>

#include "companion/companion.h"
#include "companion/rutas_correo.h"
#include "reports/escritor_pdf.h"
#include "reports/reporte.h"
#include "data/db_dll.h"
#include "global/configuracion.h"
#include "global/contexto.h"
#include "platform/ado/ado.h"
#include "mailing/estado_entregas.h"
#include "mailing/puesto_trabajo.h"
#include "mailing/reclamos.h"
#include "platform/basic/diario_entregas.h"
#include "platform/basic/archivos.h"
#include "platform/basic/correo.h"
#include "platform/basic/error.h"
#include "platform/basic/fecha.h"
#include "platform/basic/formato.h"
#include "platform/basic/regional.h"
#include "platform/basic/texto.h"
#include "platform/os/procesos.h"
#include "platform/os/rutas.h"
#include "platform/os/sistema.h"
#include "platform/ui/operador.h"
#include "reports/nombre_reporte.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kTitulo = "Aviso al Usuario";
constexpr const char* kSinSeleccion = "No Hay Proveedores Seleccionados!!!";
constexpr const char* kSeguir = "\n\n¿Continúa con las órdenes siguientes?";
constexpr const char* kCancelado = "el operador canceló el envío";
constexpr const char* kYaEnviada = "ya enviada por otro puesto";

std::string Q(const std::string& s) { return basic::DoblarComillas(s); }

std::string NombrarOrden(const ResultadoOrden& o) {
  return "la orden de compra " + basic::TextoVisible(o.idComprobante) + " del proveedor " +
         basic::TextoVisible(o.cuenta);
}

std::string Descripcion(const ErrorEjecucion& e) {
  std::string d = e.Description;
  if (!e.Source.empty() && d.find(e.Source) == std::string::npos) d += " (" + e.Source + ")";
  return d;
}

// Runs one step; a failure becomes its description.
template <class F>
std::optional<std::string> Intentar(F&& paso) {
  try {
    paso();
    return std::nullopt;
  } catch (const ErrorEjecucion& e) {
    return Descripcion(e);
  } catch (const std::exception& e) {
    return std::string(e.what());
  }
}

std::string TextoFalloMarca(const ResultadoOrden& o, const std::string& error) {
  return "No se pudo marcar " + NombrarOrden(o) + " como enviada:\n" + error +
         "\n\nLa orden no se envió ni se marcó como enviada.";
}

// The database of the records of claims: server and name.
std::string BaseActual() { return gDB().gServidor + "|" + gDB().gDBName; }

bool Existe(const std::string& ruta) {
  std::error_code ec;
  return fs::symlink_status(ruta, ec).type() != fs::file_type::not_found && !ec;
}

// A job handed to a mail program that has not been seen taking it yet.
struct Entrega {
  size_t orden;  // index in the results
  long pid;      // the mail program
};

// The steps of one order, in order (each asserted at its transition):
//   claimed (record written, then the stamp's conditional write won) -> exported ->
//   published (job at the path) -> started (its mail program) -> taken (the job left the
//   path) -> settled (record removed; the order stays stamped).
// A claim lost to another run skips the order. A hand-over that fails after the claim
// undoes it (the stamp read is put back) and removes the record; an undo that fails keeps
// the record, so that the next run or start-up on this PC settles it.
class Corrida {
 public:
  Corrida(const OpcionesDespacho& opciones, ResultadoDespacho& r, const std::string& app,
          const std::string& local, bool pdf)
      : opciones_(opciones),
        r_(r),
        puesto_(local + "/cfgMail.txt"),
        linea_(LineaComandoCorreo(app)),
        reclamos_(local),
        base_(BaseActual()),
        pdf_(pdf) {}

  // false when the run must stop.
  bool Orden(size_t idx, const std::string& mail, const std::string& asunto, const std::string& mensaje,
             const std::string& leida, bool quedanMas) {
    ResultadoOrden& o = r_.ordenes[idx];
    o.archivo = gFunciones().AgregarBarra(r_.carpeta) + NombreArchivoOrden(o.cuenta, o.idComprobante);
    // The claim comes first: a run that loses it renders nothing, so two runs in one run
    // folder (two PCs in the same second) never write the same file.
    const std::string adjunto = pdf_ ? fs::path(o.archivo).replace_extension(".pdf").string() : o.archivo;
    switch (Reclamar(idx, leida, adjunto)) {
      case Reclamo::kGanado: break;
      case Reclamo::kPerdido:
        o.estado = EstadoOrden::YaEnviada;
        o.detalle = kYaEnviada;
        return true;
      case Reclamo::kError:
        return Fallo(idx, EstadoOrden::FalloMarca, error_, TextoFalloMarca(o, error_), quedanMas);
    }
    if (auto error = Intentar([&] { Exportar(o); })) {
      Deshacer(idx);
      return Fallo(idx, EstadoOrden::FalloExportacion, *error,
                   "No se pudo generar el archivo de " + NombrarOrden(o) + ":\n" + *error +
                       "\n\nLa orden no se envió ni se marcó como enviada.",
                   quedanMas);
    }
    Paso(PasoEntrega::Exportada, idx);
    // The previous mail program must have its job before this one is written (this order
    // is still to come, so the operator may choose to go on).
    std::optional<size_t> tomada;
    if (!Esperar(tomada, true)) {
      Deshacer(idx);
      o.estado = EstadoOrden::NoIntentada;
      o.detalle = "el envío se detuvo antes de esta orden";
      return false;
    }
    if (tomada) Saldar(*tomada);
    if (Cancelado()) {
      // Not handed over: only the previous order is finished.
      Deshacer(idx);
      o.estado = EstadoOrden::NoIntentada;
      o.detalle = kCancelado;
      return false;
    }
    return Entregar(idx, mail, asunto, mensaje, quedanMas);
  }

  // The operator's cancel, polled between orders.
  bool Cancelado() {
    if (!r_.cancelado && opciones_.cancelar && opciones_.cancelar()) r_.cancelado = true;
    return r_.cancelado;
  }

  // The end of the run: the last job handed over is waited for and its order stamped.
  void Terminar() {
    std::optional<size_t> tomada;
    Esperar(tomada, false);
    if (tomada) Saldar(*tomada);
    puesto_.Liberar();
    EsperarProgramas();
  }

 private:
  // The mail programs of the run have a moment to deliver, so that the reload and the
  // summary read their outcome in the journal; one still busy after the bound is left.
  void EsperarProgramas() {
    const auto limite = std::chrono::steady_clock::now() + opciones_.esperaResultado;
    while (!programas_.empty()) {
      if (os::procesos().Vive(programas_.back())) {
        if (std::chrono::steady_clock::now() >= limite) return;
        if (opciones_.alEsperar) opciones_.alEsperar();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        continue;
      }
      programas_.pop_back();
    }
  }

  void Paso(PasoEntrega paso, size_t idx) {
    if (opciones_.alPaso) opciones_.alPaso(paso, r_.ordenes[idx]);
  }

  // Takes the job slot, writes the job and starts the mail program on it.
  bool Entregar(size_t idx, const std::string& mail, const std::string& asunto, const std::string& mensaje,
                bool quedanMas) {
    ResultadoOrden& o = r_.ordenes[idx];
    bool libre = false;
    if (auto error =
            Intentar([&] { libre = puesto_.Ocupar(opciones_.esperaEntrega, opciones_.alEsperar); })) {
      Deshacer(idx);
      return Fallo(idx, EstadoOrden::FalloTrabajo, *error,
                   "No se pudo escribir el trabajo de correo de " + NombrarOrden(o) + ":\n" + *error +
                       "\n\nLa orden no se envió ni se marcó como enviada.",
                   quedanMas);
    }
    if (!libre) {
      // Another run's job stays unread: the mail program is not working, stop here.
      Deshacer(idx);
      o.estado = EstadoOrden::SinEntrega;
      o.detalle = "el trabajo de correo de otro envío no fue tomado a tiempo";
      ui::operador().MsgBox("No se pudo entregar " + NombrarOrden(o) +
                                ": el programa de correo no tomó el trabajo de otro envío en " + Segundos() +
                                " segundos (" + puesto_.Ruta() + ").\n\n" +
                                "La orden no se envió ni se marcó como enviada y el envío se detuvo.",
                            int{ui::vbOKOnly} + int{ui::vbCritical}, kTitulo);
      return false;
    }
    if (auto error = Intentar([&] {
          puesto_.Publicar(BytesTrabajoCorreo(TextoTrabajoCorreo(mail, asunto, mensaje, o.archivo)));
        })) {
      puesto_.Liberar();
      Deshacer(idx);
      return Fallo(idx, EstadoOrden::FalloTrabajo, *error,
                   "No se pudo escribir el trabajo de correo de " + NombrarOrden(o) + ":\n" + *error +
                       "\n\nLa orden no se envió ni se marcó como enviada.",
                   quedanMas);
    }
    Paso(PasoEntrega::Publicada, idx);
    long pid = 0;
    if (auto error = Intentar([&] { pid = os::procesos().Iniciar(linea_, os::vbNormalFocus); })) {
      // A mail program that took the job anyway has it: the order stays stamped.
      if (!puesto_.Retirar()) {
        Saldar(idx);
        return true;
      }
      Deshacer(idx);
      return Fallo(idx, EstadoOrden::FalloInicio, *error,
                   "No se pudo iniciar el programa de correo para " + NombrarOrden(o) + ":\n" + *error +
                       "\n\nLa orden no se envió ni se marcó como enviada.",
                   quedanMas);
    }
    Paso(PasoEntrega::Iniciada, idx);
    pendiente_ = Entrega{idx, pid};
    programas_.push_back(pid);
    return true;
  }

  std::string Segundos() const {
    const auto s =
        std::chrono::duration_cast<std::chrono::milliseconds>(opciones_.esperaEntrega).count() / 1000.0;
    return basic::Format(basic::Variant(s), "0.#");
  }

  // Waits until the pending job is taken (its order goes to `tomada`) or its mail
  // program has ended. false when the run must stop.
  bool Esperar(std::optional<size_t>& tomada, bool quedanMas) {
    if (!pendiente_) return true;
    const Entrega e = *pendiente_;
    pendiente_.reset();
    ResultadoOrden& o = r_.ordenes[e.orden];
    const auto limite = std::chrono::steady_clock::now() + opciones_.esperaEntrega;
    auto pausa = std::chrono::microseconds(100);
    for (;;) {
      if (puesto_.Tomado()) break;
      if (!os::procesos().Vive(e.pid)) {
        // Whoever renames first owns the job: withdrawn, or taken at the last moment.
        if (!puesto_.Retirar()) break;
        Deshacer(e.orden);
        return Fallo(e.orden, EstadoOrden::NoTomada, "el programa de correo terminó sin tomar el trabajo",
                     "El programa de correo terminó sin tomar el trabajo de " + NombrarOrden(o) +
                         ".\n\nLa orden no se envió ni se marcó como enviada.",
                     quedanMas);
      }
      if (opciones_.alEsperar) opciones_.alEsperar();
      const auto ahora = std::chrono::steady_clock::now();
      if (ahora >= limite) {
        // Not taken in time: withdrawn, so that a late reader cannot mail an order that
        // stays unstamped, and the run stops. Taken meanwhile: it is stamped as usual.
        if (!puesto_.Retirar()) break;
        Deshacer(e.orden);
        o.estado = EstadoOrden::SinEntrega;
        o.detalle = "el programa de correo no tomó el trabajo a tiempo";
        ui::operador().MsgBox("El programa de correo no tomó el trabajo de " + NombrarOrden(o) + " en " +
                                  Segundos() + " segundos.\n\n" +
                                  "La orden no se envió ni se marcó como enviada y el envío se detuvo.",
                              int{ui::vbOKOnly} + int{ui::vbCritical}, kTitulo);
        return false;
      }
      std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(pausa, limite - ahora));
      pausa = std::min(pausa * 2, std::chrono::microseconds(1000));
    }
    puesto_.Liberar();
    Paso(PasoEntrega::Tomada, e.orden);
    tomada = e.orden;
    return true;
  }

  void Exportar(ResultadoOrden& o) {
    Reporte& rep = gReporte();
    rep.Propiedad("PrintFileName", basic::Variant(o.archivo));
    rep.Propiedad("PrintFileType", basic::Variant(int16_t{Reporte::kTipoHtml}));
    rep.Destino(rep.DestinoArchivo());
    const std::string seleccion = FormulaSeleccionOrden(o.cuenta, o.idComprobante);
    const std::vector<std::string> f = FormulasEmpresa();
    const std::string archivoReporte = NombreReporte(NombreReporteOrden(o.idComprobante), "", nullptr, "");
    rep.Imprimir(archivoReporte, {""}, seleccion, gConnectDSN, f[0], f[1], f[2], f[3], f[4], "RP_CPTESER", "",
                 "RP_CpteObs");
    rep.Ejecutar(int16_t{Reporte::kEjecutarReporte});
    // A client of a shared folder may not show a file renamed into place at once.
    for (int i = 0; i < 20 && !Existe(o.archivo); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (!Existe(o.archivo)) {
      throw ErrorEjecucion(Reporte::errSalida, "El reporte no generó el archivo " + o.archivo, "Reporte");
    }
    if (pdf_) {
      // The PDF beside the HTML is what the mail carries.
      const std::string pdf = fs::path(o.archivo).replace_extension(".pdf").string();
      reporte::EscribirPdf("Orden de compra " + o.idComprobante, rep.UltimoHtml(), pdf);
      o.archivo = pdf;
    }
  }

  enum class Reclamo { kGanado, kPerdido, kError };

  // The claim: the record first, then the stamp's conditional write that one run wins.
  Reclamo Reclamar(size_t idx, const std::string& leida, const std::string& adjunto) {
    ResultadoOrden& o = r_.ordenes[idx];
    ::Reclamo rec{base_,
                  o.cuenta,
                  o.idComprobante,
                  leida,
                  basic::FormatFecha(basic::DateValue(os::sistema().Ahora()), basic::regional().fechaCorta),
                  adjunto,
                  basic::FechaDiario(std::time(nullptr))};
    std::string archivo;
    long afectados = 0;
    if (auto error = Intentar([&] {
          archivo = reclamos_.Registrar(rec);
          canalADO().Execute(*gDB().gCnn, SentenciaReclamo(rec), &afectados, -1);
          if (afectados < 0) afectados = LeerMarca(rec) == rec.escrita ? 1 : 0;
        })) {
      // The write may have been made before the failure: the undo is conditional.
      if (!archivo.empty()) {
        reclamado_[idx] = {rec, archivo};
        Deshacer(idx);
      }
      error_ = *error;
      return Reclamo::kError;
    }
    if (afectados == 0) {
      reclamos_.Quitar(archivo);
      return Reclamo::kPerdido;
    }
    reclamado_[idx] = {rec, archivo};
    Paso(PasoEntrega::Marcada, idx);
    return Reclamo::kGanado;
  }

  std::string LeerMarca(const ::Reclamo& rec) {
    std::string marca;
    ado::Recordset rs;
    gDB().AbrirRecordset(SentenciaLeerMarca(rec), rs, nullptr, ado::adOpenForwardOnly, ado::adLockReadOnly,
                         -1, true);
    if (rs.State() == ado::adStateOpen && !rs.Eof()) {
      const basic::Variant v = rs.Fields(0L).Value();
      marca = v.EsNull() ? "" : basic::FormatFecha(basic::CDate(v), basic::regional().fechaCorta);
    }
    if (rs.State() == ado::adStateOpen) gDB().CierraRecordset(rs);
    return marca;
  }

  // The hand-over failed after the claim: the stamp read is put back. When that fails the
  // record stays for the next run on this PC.
  void Deshacer(size_t idx) {
    auto it = reclamado_.find(idx);
    assert(it != reclamado_.end());
    if (it == reclamado_.end()) return;
    if (auto error = Intentar([&] {
          long afectados = 0;
          canalADO().Execute(*gDB().gCnn, SentenciaDeshacerReclamo(it->second.reclamo), &afectados, -1);
        })) {
      r_.ordenes[idx].detalle +=
          "; quedó marcada como enviada y se corregirá en el próximo envío (" + *error + ")";
    } else {
      reclamos_.Quitar(it->second.archivo);
    }
    reclamado_.erase(it);
  }

  // The job was taken: the order stays stamped and its record goes, once the stamp is
  // read back. A stamp that cannot be read, or is gone, keeps the record marked taken: the
  // next run or start-up on this PC writes the stamp, and no run mails the order again.
  void Saldar(size_t idx) {
    auto it = reclamado_.find(idx);
    assert(it != reclamado_.end());
    r_.ordenes[idx].estado = EstadoOrden::Enviada;
    if (it == reclamado_.end()) return;
    std::string marca;
    const auto error = Intentar([&] { marca = LeerMarca(it->second.reclamo); });
    if (!error && marca == it->second.reclamo.escrita) {
      reclamos_.Quitar(it->second.archivo);
    } else {
      const std::string motivo = error ? *error : "la marca ya no está en la base";
      if (auto e = Intentar([&] { reclamos_.MarcarTomado(it->second.archivo, it->second.reclamo); })) {
        r_.ordenes[idx].detalle =
            "no se pudo confirmar la marca de enviada (" + motivo + ") ni anotarlo (" + *e + ")";
      } else {
        r_.ordenes[idx].detalle = "la marca de enviada se confirmará en el próximo envío (" + motivo + ")";
      }
    }
    reclamado_.erase(it);
  }

 public:
  // Records the failure and tells the operator; with orders left, the operator chooses
  // whether to go on.
  bool Fallo(size_t idx, EstadoOrden estado, const std::string& detalle, const std::string& texto,
             bool quedanMas) {
    // Other operators need not wait on this question for a job already taken.
    if (puesto_.Ocupado() && puesto_.Tomado()) puesto_.Liberar();
    r_.ordenes[idx].estado = estado;
    r_.ordenes[idx].detalle = detalle;
    if (!quedanMas) {
      ui::operador().MsgBox(texto, int{ui::vbOKOnly} + int{ui::vbExclamation}, kTitulo);
      return true;
    }
    return ui::operador().MsgBox(texto + kSeguir, int{ui::vbYesNo} + int{ui::vbExclamation}, kTitulo) ==
           ui::vbYes;
  }

 private:
  const OpcionesDespacho& opciones_;
  ResultadoDespacho& r_;
  PuestoTrabajo puesto_;
  std::string linea_;
  std::optional<Entrega> pendiente_;
  std::vector<long> programas_;  // the mail programs started
  ReclamosEnCurso reclamos_;
  std::string base_;  // the database, for the records
  struct EnCurso {
    ::Reclamo reclamo;
    std::string archivo;  // its record
  };
  std::map<size_t, EnCurso> reclamado_;  // orders claimed and not settled
  std::string error_;                    // the last claim's failure
  bool pdf_;                             // the order goes as PDF ([CORREO] Adjunto=PDF)
};

}  // namespace

int SaldarReclamosDe(const std::string& carpetaAplicacion) {
  int devueltas = 0;
  Intentar([&] {
    if (!gDB().gOpenFlag) return;
    const std::string local = CarpetaLocal(carpetaAplicacion);
    // With the job slot held no run of this PC has a job out: a job left at the path by a
    // run that died is withdrawn first, so no late mail program takes it after its order
    // got its stamp back. A slot held by a live run: settled another time.
    PuestoTrabajo puesto(local + "/cfgMail.txt");
    if (!puesto.Ocupar(std::chrono::milliseconds(0))) return;
    const RutasCorreo rutas =
        LeerRutasCorreo(carpetaAplicacion, os::sistema().Entorno("TSPOST_INI").value_or(""));
    devueltas = SaldarReclamos(
        local, BaseActual(), {rutas.carpetaPendientes, basic::ArchivosDelDiario(rutas.archivoEntregas, true)},
        [](const std::string& sql) {
          long afectados = 0;
          canalADO().Execute(*gDB().gCnn, sql, &afectados, -1);
          return afectados;
        });
    puesto.Liberar();
  });
  return devueltas;
}

int ResultadoDespacho::Cuantas(EstadoOrden estado) const {
  int n = 0;
  for (const auto& o : ordenes) n += o.estado == estado;
  return n;
}

OpcionesDespacho& opcionesDespacho() {
  static OpcionesDespacho o;
  return o;
}

ResultadoDespacho Despacho::Ejecutar(const std::vector<FilaDespacho>& filas, const std::string& asunto,
                                     const std::string& mensaje, const std::function<void()>& recargar) {
  ResultadoDespacho r;
  const std::string app = os::CarpetaAplicacion();
  if (auto error = Intentar([&] { r.carpeta = CrearCarpetaEnvio(app, os::sistema().Ahora()); })) {
    r.detenido = true;
    ui::operador().MsgBox(
        "No se pudo crear la carpeta del envío:\n" + *error + "\n\nNo se envió ninguna orden.",
        int{ui::vbOKOnly} + int{ui::vbCritical}, kTitulo);
    return r;
  }

  // The attachment's form: HTML as the suite always sent it, or PDF.
  const std::string adjunto = basic::UCase(
      basic::Trim(LeerRutasCorreo(app, os::sistema().Entorno("TSPOST_INI").value_or("")).adjunto));
  const bool pdf = adjunto == "PDF";
  std::string adjuntoMalo;
  if (!(adjunto.empty() || adjunto == "HTML" || pdf))
    adjuntoMalo = "El valor Adjunto=" + adjunto + " de la sección [CORREO] de " + kArchivoIniEquipo +
                  " no es válido: escriba HTML o PDF.";
  else if (pdf && !reporte::HayEscritorPdf())
    adjuntoMalo = "Este programa no puede generar documentos PDF (Adjunto=PDF en la sección [CORREO] de " +
                  std::string(kArchivoIniEquipo) + ").";
  if (!adjuntoMalo.empty()) {
    r.detenido = true;
    ui::operador().MsgBox(adjuntoMalo + "\n\nNo se envió ninguna orden.",
                          int{ui::vbOKOnly} + int{ui::vbCritical}, kTitulo);
    return r;
  }

  const size_t n = filas.size();  // taken once
  // Rows that will not be handed over for want of a valid address: one question for all.
  std::vector<bool> sinDireccion(n, false);
  std::vector<FilaDespacho> sinDireccionFilas;
  int marcadas = 0;
  for (size_t i = 0; i < n; ++i) {
    if (!filas[i].marcada) continue;
    ++marcadas;
    if (SinDireccionValida(filas[i])) {
      sinDireccion[i] = true;
      sinDireccionFilas.push_back(filas[i]);
    }
  }
  const int aEntregar = marcadas - static_cast<int>(sinDireccionFilas.size());
  bool resumir = marcadas > 0;
  if (!sinDireccionFilas.empty()) {
    if (aEntregar == 0) {
      ui::operador().MsgBox(TextoSinDireccion(sinDireccionFilas, false),
                            int{ui::vbOKOnly} + int{ui::vbExclamation}, kTitulo);
      resumir = false;
    } else if (ui::operador().MsgBox(TextoSinDireccion(sinDireccionFilas, true),
                                     int{ui::vbYesNo} + int{ui::vbExclamation}, kTitulo) != ui::vbYes) {
      r.detenido = true;
      resumir = false;
    }
  }
  // The last row still to hand over: the failure prompts ask to go on only before it.
  size_t ultimaAEntregar = n;
  for (size_t i = 0; i < n; ++i)
    if (filas[i].marcada && !sinDireccion[i]) ultimaAEntregar = i;

  // The PC's own folder for the job and the records of claims; what it lacks stops the run
  // before any order.
  std::string local;
  std::optional<Corrida> corrida;
  if (auto error = Intentar([&] {
        local = CarpetaLocal(app);
        PuestoTrabajo(local + "/cfgMail.txt").Comprobar();
        corrida.emplace(opciones_, r, app, local, pdf);
      })) {
    r.detenido = true;
    ui::operador().MsgBox(*error + "\n\nNo se envió ninguna orden.", int{ui::vbOKOnly} + int{ui::vbCritical},
                          kTitulo);
    return r;
  }
  int numero = 0;
  for (size_t i = 0; i < n; ++i) {
    const FilaDespacho& fila = filas[i];
    if (!fila.marcada) continue;
    if (opciones_.alEsperar) opciones_.alEsperar();
    r.filaAtendida = true;
    const size_t primera = r.ordenes.size();
    r.ordenes.push_back({fila.cuenta, fila.tc, fila.idComprobante, "", EstadoOrden::NoIntentada, ""});
    if (sinDireccion[i]) {
      // Named in the question: never handed over, whatever the run does.
      ResultadoOrden& o = r.ordenes[primera];
      if (basic::Trim(fila.mail).empty()) {
        o.estado = EstadoOrden::SinMail;
        o.detalle = "el proveedor no tiene dirección de e-mail.";
      } else {
        o.estado = EstadoOrden::MailNoValido;
        o.detalle = "la dirección de e-mail del proveedor no es válida: " + DireccionNoValida(fila.mail);
      }
      continue;
    }
    if (r.detenido) continue;
    if (corrida->Cancelado()) {
      r.detenido = true;
      r.ordenes[primera].detalle = kCancelado;
      continue;
    }
    if (opciones_.alEmpezarOrden) opciones_.alEmpezarOrden(++numero, aEntregar, fila);

    // The pending check; its failures are handled inside AbrirRecordset.
    std::vector<std::string> ids;
    auto error = Intentar([&] {
      ado::Recordset rs;
      gDB().AbrirRecordset(SentenciaPendiente(fila.cuenta, fila.tc, fila.idComprobante), rs, nullptr,
                           ado::adOpenForwardOnly, ado::adLockReadOnly, -1, true);
      if (rs.State() != ado::adStateOpen) return;
      if (!rs.Bof()) {
        rs.MoveFirst();
        while (!rs.Eof()) {
          ids.push_back(gFunciones().SinNulo(rs.Fields("IdComprobante")));
          rs.MoveNext();
        }
      }
      gDB().CierraRecordset(rs);
    });
    if (error) {
      // A query failure was already handled by AbrirRecordset; anything else is told.
      const bool seguir = corrida->Fallo(primera, EstadoOrden::NoPendiente, *error,
                                         "No se pudo comprobar si " + NombrarOrden(r.ordenes[primera]) +
                                             " sigue pendiente:\n" + *error +
                                             "\n\nLa orden no se envió ni se marcó como enviada.",
                                         i < ultimaAEntregar);
      if (!seguir) r.detenido = true;
      continue;
    }
    if (ids.empty()) {
      r.ordenes[primera].estado = EstadoOrden::NoPendiente;
      continue;
    }
    for (size_t k = 0; k < ids.size() && !r.detenido; ++k) {
      size_t idx = primera;
      if (k > 0) {
        r.ordenes.push_back({fila.cuenta, fila.tc, ids[k], "", EstadoOrden::NoIntentada, ""});
        idx = r.ordenes.size() - 1;
      }
      r.ordenes[idx].idComprobante = ids[k];
      const bool quedanMas = k + 1 < ids.size() || i < ultimaAEntregar;
      if (!corrida->Orden(idx, fila.mail, asunto, mensaje, fila.fechaEnvio, quedanMas)) r.detenido = true;
    }
  }
  corrida->Terminar();
  if (opciones_.alTerminar) opciones_.alTerminar();

  if (r.filaAtendida) {
    if (recargar) recargar();
    r.recargada = static_cast<bool>(recargar);
    if (resumir) {
      int noEntregados = 0, entregados = 0;
      const int enEspera = CorreosEnEspera(r, &noEntregados, &entregados);
      ui::operador().MsgBox(TextoResumen(r, enEspera, noEntregados, entregados),
                            int{ui::vbOKOnly} + int{ui::vbInformation}, kTitulo);
    }
  } else {
    ui::operador().MsgBox(kSinSeleccion, int{ui::vbOKOnly} + int{ui::vbInformation}, kTitulo);
  }
  return r;
}

// ---- Pieces ----

namespace {
std::string TextoFecha(basic::Fecha ahora) {
  return basic::Replace(basic::FormatFecha(basic::DateValue(ahora), basic::regional().fechaCorta), "/", "-");
}
std::string TextoHora(basic::Fecha ahora) {
  return basic::Replace(basic::FormatFecha(ahora, basic::regional().hora), ":", ".");
}
}  // namespace

std::string RutaCarpetaEnvio(const std::string& carpetaAplicacion, basic::Fecha ahora) {
  const Funciones& f = gFunciones();
  return f.AgregarBarra(
             f.AgregarBarra(f.AgregarBarra(f.AgregarBarra(carpetaAplicacion) + "E-MAILS") + "ENVIOS") +
             TextoFecha(ahora)) +
         TextoHora(ahora);
}

std::string CrearCarpetaEnvio(const std::string& carpetaAplicacion, basic::Fecha ahora) {
  const Funciones& f = gFunciones();
  std::string actual = carpetaAplicacion;
  for (const std::string& nivel :
       {std::string("E-MAILS"), std::string("ENVIOS"), TextoFecha(ahora), TextoHora(ahora)}) {
    const std::string ruta = f.AgregarBarra(actual) + nivel;
    std::error_code ec;
    // An existing level is kept, found whatever its case.
    const std::string hallado = os::BuscarArchivoSinCaso(ruta);
    if (!hallado.empty() && fs::is_directory(hallado, ec)) {
      actual = hallado;
      continue;
    }
    fs::create_directory(ruta, ec);
    if (ec || !fs::is_directory(ruta)) {
      throw ErrorEjecucion(75, "Error de acceso a la ruta o el archivo: " + ruta +
                                   (ec ? " (" + ec.message() + ")" : std::string()));
    }
    actual = ruta;
  }
  return actual;
}

std::string SentenciaPendiente(const std::string& cuenta, const std::string& tc,
                               const std::string& idComprobante) {
  return "SELECT IDCOMPROBANTE FROM V_OC_PENDIENTES WHERE CUENTA='" + Q(cuenta) + "' AND TC ='" + Q(tc) +
         "' AND IDCOMPROBANTE='" + Q(idComprobante) + "' ";
}

std::string SentenciaMarcaEnvio(const std::string& fecha, const std::string& cuenta,
                                const std::string& idComprobante) {
  return "UPDATE c_mv_cpte SET fechaenviomail ='" + Q(fecha) + "' WHERE Cuenta = '" + Q(cuenta) +
         "' and tc='OC' and idcomprobante='" + Q(idComprobante) + "'";
}

std::string NombreReporteOrden(const std::string& idComprobante) {
  return "OC-" + basic::Mid(idComprobante, 13, 1);
}

std::string FormulaSeleccionOrden(const std::string& cuenta, const std::string& idComprobante) {
  return " {c_mv_cpte.cuenta}= '" + Q(cuenta) + "'" + " AND {c_mv_cpte.idcomprobante}= '" + Q(idComprobante) +
         "'" + " AND {c_mv_cpte.tc}= 'OC'";
}

std::vector<std::string> FormulasEmpresa() {
  return {
      "NombreEmpresa = '" + Q(Cfg("NOMBRE")) + "'",
      "Direccion = '" +
          Q(Cfg("CALLE") + " " + Cfg("NUMERO") + "  " + Cfg("PISO") + " " + Cfg("Departamento")) + "'",
      "Localidad= '" + Q(Cfg("LOCALIDAD")) + "'",
      "CodigoPostal= '" + Q(Cfg("CPOSTAL")) + "'",
      "Telefono= 'Telefono:" + Q(basic::Trim(Cfg("TELEFONO"))) + "'",
  };
}

std::string DireccionNoValida(const std::string& mail) {
  // A control character anywhere (even at an edge, where splitting would trim it) could
  // start a line of its own in the job: the whole field is named, made visible.
  if (basic::TieneControl(mail)) return basic::TextoVisible(mail);
  const std::vector<std::string> direcciones = basic::DividirDirecciones(mail);
  if (direcciones.empty()) return basic::Trim(mail);
  for (const auto& d : direcciones)
    if (!basic::DireccionCorreoValida(d)) return d;
  return "";
}

bool SinDireccionValida(const FilaDespacho& fila) {
  return basic::Trim(fila.mail).empty() || !DireccionNoValida(fila.mail).empty();
}

namespace {
// "1 orden" / "3 órdenes" and the like.
std::string Cantidad(size_t n, const std::string& singular, const std::string& plural) {
  return std::to_string(n) + " " + (n == 1 ? singular : plural);
}
}  // namespace

std::string TextoSinDireccion(const std::vector<FilaDespacho>& filas, bool quedanOtras) {
  const size_t n = filas.size();
  std::string t = Cantidad(n, "orden no se enviará", "órdenes no se enviarán") +
                  " porque el proveedor no tiene una dirección de e-mail válida.";
  if (quedanOtras) t += " ¿Continúa con las demás?";
  t += "\n";
  // At most 20 lines: a long selection would not fit on the screen.
  constexpr size_t kLineas = 20;
  const size_t mostradas = n <= kLineas ? n : kLineas - 1;
  for (size_t i = 0; i < mostradas; ++i) {
    const FilaDespacho& f = filas[i];
    t += "\n" + basic::TextoVisible(f.idComprobante) + " (" +
         basic::TextoVisible(basic::Trim(f.razonSocial).empty() ? f.cuenta : f.razonSocial) + ")";
    if (!basic::Trim(f.mail).empty()) t += ": " + DireccionNoValida(f.mail);
  }
  if (mostradas < n) t += "\ny " + std::to_string(n - mostradas) + " más";
  if (!quedanOtras) t += "\n\nNo queda ninguna orden para enviar.";
  return t;
}

int CorreosEnEspera(const ResultadoDespacho& r, int* fallidos, int* entregados) {
  const EntregasOrdenes entregas = EntregasOrdenes::Leer(ArchivoEntregasDe(os::CarpetaAplicacion()));
  int n = 0;
  if (fallidos) *fallidos = 0;
  if (entregados) *entregados = 0;
  for (const auto& o : r.ordenes) {
    if (o.estado != EstadoOrden::Enviada) continue;
    const EstadoEntrega e = entregas.Estado(o.cuenta, o.idComprobante);
    n += e == EstadoEntrega::Pendiente;
    if (fallidos) *fallidos += e == EstadoEntrega::Fallido;
    if (entregados) *entregados += e == EstadoEntrega::Enviado;
  }
  return n;
}

std::string TextoResumen(const ResultadoDespacho& r, int enEspera, int noEntregados, int entregados) {
  size_t enviadas = 0, sinDireccion = 0, noPendientes = 0, yaEnviadas = 0, fallidas = 0, noIntentadas = 0;
  for (const auto& o : r.ordenes) {
    switch (o.estado) {
      case EstadoOrden::Enviada: ++enviadas; break;
      case EstadoOrden::SinMail:
      case EstadoOrden::MailNoValido: ++sinDireccion; break;
      // A pending check that failed is a failure, not an order mailed meanwhile.
      case EstadoOrden::NoPendiente: ++(o.detalle.empty() ? noPendientes : fallidas); break;
      case EstadoOrden::NoIntentada: ++noIntentadas; break;
      case EstadoOrden::YaEnviada: ++yaEnviadas; break;
      default: ++fallidas; break;
    }
  }
  std::string t = r.cancelado  ? "Envío cancelado por el operador."
                  : r.detenido ? "Envío detenido."
                               : "Envío terminado.";
  t += "\n\n" + Cantidad(enviadas, "orden enviada", "órdenes enviadas") + " al programa de correo.";
  if (entregados > 0)
    t += "\n" + Cantidad(static_cast<size_t>(entregados), "entregada: el servidor de correo la aceptó.",
                         "entregadas: el servidor de correo las aceptó.");
  if (enEspera > 0)
    t += "\n" + Cantidad(static_cast<size_t>(enEspera), "mail espera", "mails esperan") +
         " en la cola del programa de correo.";
  if (noEntregados > 0)
    t += "\n" +
         Cantidad(static_cast<size_t>(noEntregados),
                  "no entregada: el servidor de correo la rechazó (vuelve a la lista de pendientes).",
                  "no entregadas: el servidor de correo las rechazó (vuelven a la lista de pendientes).");
  if (sinDireccion > 0)
    t += "\n" + Cantidad(sinDireccion, "no enviada", "no enviadas") +
         ": el proveedor no tiene una dirección de e-mail válida.";
  if (noPendientes > 0)
    t += "\n" + Cantidad(noPendientes, "no enviada: ya no estaba pendiente.",
                         "no enviadas: ya no estaban pendientes.");
  if (yaEnviadas > 0)
    t += "\n" + Cantidad(yaEnviadas, "no enviada: ya enviada por otro puesto.",
                         "no enviadas: ya enviadas por otro puesto.");
  if (fallidas > 0)
    t += "\n" + Cantidad(fallidas, "con error", "con error") + ": no se envió o no se marcó como enviada.";
  if (noIntentadas > 0)
    t += "\n" + Cantidad(noIntentadas, "no intentada", "no intentadas") +
         (r.cancelado ? ": el envío se canceló." : ": el envío se detuvo antes.");
  return t;
}

std::string NombreArchivoOrden(const std::string& cuenta, const std::string& idComprobante) {
  auto seguro = [](std::string parte) {
    bool soloPuntos = !parte.empty();
    for (char c : parte) soloPuntos = soloPuntos && c == '.';
    for (char& c : parte) {
      const auto u = static_cast<unsigned char>(c);
      if (u < 32 || u == 127 || c == '/' || c == '\\' || (soloPuntos && c == '.')) c = '_';
    }
    // A character that Windows-1252 cannot write goes as its UTF-8 bytes in %XX form: the
    // name fits the job, the journal and any share, and is the same every time.
    if (basic::CabeEnWindows1252(parte)) return parte;
    std::string r;
    for (const char32_t c : basic::ACodigos(parte)) {
      const std::string u = basic::DeCodigos(std::u32string(1, c));
      if (basic::CabeEnWindows1252(u)) {
        r += u;
        continue;
      }
      for (const unsigned char b : u) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%%%02X", b);
        r += hex;
      }
    }
    return r;
  };
  return seguro(cuenta) + "-" + seguro(idComprobante) + ".html";
}

std::string TextoTrabajoCorreo(const std::string& destinatario, const std::string& asunto,
                               const std::string& mensaje, const std::string& archivo) {
  // Pasted text must not start a line of its own: it could name another key.
  std::string unaLinea = basic::Replace(asunto, "\r\n", " ");
  for (char& c : unaLinea)
    if (static_cast<unsigned char>(c) < 32 || c == 127) c = ' ';
  // A lone LF becomes CR LF, so that its line gets a prefix too; any other control
  // character (a TAB, a form feed) becomes a blank, so no value carries one.
  std::string lineas;
  for (char c : mensaje) {
    if (c == '\n' && (lineas.empty() || lineas.back() != '\r')) lineas += '\r';
    const auto u = static_cast<unsigned char>(c);
    lineas += (u < 32 || u == 127) && c != '\r' && c != '\n' ? ' ' : c;
  }
  return "DESTINATARIO=" + destinatario + "\r\n" + "ASUNTO=" + basic::Trim(unaLinea) + "\r\n" +
         "MENSAJE=" + basic::Replace(basic::Trim(lineas), "\r", "\r\nMENSAJE=") + "\r\n" +
         "ARCHIVO=" + archivo + "\r\n";
}

std::string BytesTrabajoCorreo(const std::string& texto) {
  if (basic::CabeEnWindows1252(texto)) return basic::AWindows1252(texto);
  return "\xEF\xBB\xBF" + texto;
}

std::string RutaTrabajoCorreo(const std::string& carpetaAplicacion) {
  return gFunciones().AgregarBarra(CarpetaLocal(carpetaAplicacion)) + "cfgMail.txt";
}

std::string LineaComandoCorreo(const std::string& carpetaAplicacion) {
  const std::string app = gFunciones().AgregarBarra(carpetaAplicacion);
  return app + "TSPOST.EXE " + RutaTrabajoCorreo(carpetaAplicacion) + " ;vxqr@";
}

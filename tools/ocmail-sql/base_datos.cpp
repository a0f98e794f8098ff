#include "ocmail-sql/base_datos.h"

#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>

#include "platform/ado/texto_sqlite.h"
#include "platform/os/rutas.h"

namespace fs = std::filesystem;

namespace ocmailsql {

namespace {

std::string LeerArchivo(const std::string& ruta) {
  std::ifstream in(ruta, std::ios::binary);
  if (!in) throw std::runtime_error("No se puede leer el esquema " + ruta);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void Ejecutar(sqlite3* db, const std::string& sql, const std::string& que) {
  char* error = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    std::string texto = error ? error : sqlite3_errmsg(db);
    sqlite3_free(error);
    throw std::runtime_error(que + ": " + texto);
  }
}

// A prepared statement reused for every row: bind, step, reset.
class Sentencia {
 public:
  Sentencia(sqlite3* db, const char* sql) : db_(db) {
    if (sqlite3_prepare_v2(db, sql, -1, &st_, nullptr) != SQLITE_OK)
      throw std::runtime_error(std::string("Sentencia invalida: ") + sqlite3_errmsg(db));
  }
  ~Sentencia() { sqlite3_finalize(st_); }
  Sentencia(const Sentencia&) = delete;
  Sentencia& operator=(const Sentencia&) = delete;

  Sentencia& Texto(const std::string& v) {
    sqlite3_bind_text(st_, ++n_, v.c_str(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    return *this;
  }
  Sentencia& Nulo() {
    sqlite3_bind_null(st_, ++n_);
    return *this;
  }
  Sentencia& Entero(long long v) {
    sqlite3_bind_int64(st_, ++n_, v);
    return *this;
  }
  // Money and quantities are computed in hundredths and stored with two decimals.
  Sentencia& Centesimos(long long v) {
    sqlite3_bind_double(st_, ++n_, static_cast<double>(v) / 100.0);
    return *this;
  }
  void Fila() {
    int rc = sqlite3_step(st_);
    if (rc != SQLITE_DONE) {
      std::string e = sqlite3_errmsg(db_);
      sqlite3_reset(st_);
      throw std::runtime_error("Error al cargar los datos de demostracion: " + e);
    }
    sqlite3_reset(st_);
    sqlite3_clear_bindings(st_);
    n_ = 0;
  }

 private:
  sqlite3* db_;
  sqlite3_stmt* st_ = nullptr;
  int n_ = 0;
};

// Days since 1970-01-01 to 'yyyy-mm-dd 00:00:00' (proleptic Gregorian).
std::string FechaIso(long dias) {
  long z = dias + 719468;
  long era = (z >= 0 ? z : z - 146096) / 146097;
  long doe = z - era * 146097;
  long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  long y = yoe + era * 400;
  long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  long mp = (5 * doy + 2) / 153;
  long d = doy - (153 * mp + 2) / 5 + 1;
  long m = mp + (mp < 10 ? 3 : -9);
  if (m <= 2) ++y;
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04ld-%02ld-%02ld 00:00:00", y, m, d);
  return buf;
}

constexpr long kDia20240215 = 19768;  // 2024-02-15 in days since 1970-01-01

struct Proveedor {
  const char* codigo;
  const char* razon;
  const char* calle;
  const char* numero;
  const char* localidad;
  const char* cpostal;
  const char* provincia;
  const char* telefono;
  const char* mail;  // nullptr: no address
  const char* cuit;
  const char* contacto;
  int baja;
};

const Proveedor kTablaProveedores[demo::kProveedores] = {
    {"P001", "Aceros del Sur S.A.", "Mitre", "1234", "Avellaneda", "1870", "Buenos Aires", "4201-5500",
     "ventas@acerosdelsur.com.ar", "30-50123456-1", "Raúl Ortega", 0},
    {"P002", "Bulonera Central S.R.L.", "Av. San Juan", "2750", "Buenos Aires", "C1232AAB", "CABA",
     "4941-2200", "pedidos@buloneracentral.com.ar", "30-60234567-2", "Silvia Paz", 0},
    {"P003", "Cables y Conductores Rivadavia S.A.", "Av. Rivadavia", "8820", "Buenos Aires", "C1407DZT",
     "CABA", "4635-7711", "compras@cablesrivadavia.com.ar", "30-70345678-3", "Hugo Ferrari", 0},
    {"P004", demo::kRazonApostrofo, "O'Higgins", "1530", "Buenos Aires", "C1426BFH", "CABA", "4784-0990",
     "pedidos@ohiggins-anasco.com.ar", "30-71456789-4", "Iñaki Añasco", 0},
    {"P005", "Electricidad Güemes S.A.", "Güemes", "455", "Salta", "A4400", "Salta", "0387-421-3300",
     "ventas@electricidadguemes.com.ar", "30-52567890-5", "Ana Cruz", 0},
    {"P006", "Ferretería Núñez Hnos.", "Av. Cabildo", "3100", "Buenos Aires", "C1429AAP", "CABA", "4701-4455",
     "nunez@ferreterianunez.com.ar", "30-63678901-6", "José Núñez", 0},
    {"P007", "Grifería Patagónica S.A.", "Roca", "870", "Neuquén", "Q8300", "Neuquén", "0299-443-1200",
     nullptr, "30-74789012-7", "Laura Quiroga", 0},
    {"P008", "Herramientas Córdoba S.R.L.", "Bv. San Juan", "640", "Córdoba", "X5000", "Córdoba",
     "0351-423-8800", "ventas@herramientascordoba.com.ar", "30-55890123-8", "Martín Vega", 0},
    {"P009", "Iluminación Belgrano S.A.", "Av. Belgrano", "990", "Buenos Aires", "C1092AAJ", "CABA",
     "4381-6060", "info@iluminacionbelgrano.com.ar", "30-66901234-9", "Nora Sosa", 0},
    {"P010", "Juntas y Sellos Quilmes", "Rivadavia", "215", "Quilmes", "1878", "Buenos Aires", "4253-1919",
     "juntas@sellosquilmes.com.ar", "20-17012345-0", "Oscar Ibarra", 0},
    {"P011", "Lubricantes Moreno S.A.", "Av. Libertador", "1450", "Moreno", "1744", "Buenos Aires",
     "0237-462-5000", "", "30-58123450-1", "Pablo Lucero", 0},
    {"P012", "Maderas del Litoral S.A.", "Bv. Gálvez", "1780", "Santa Fe", "S3000", "Santa Fe",
     "0342-455-3030", "maderas@litoral.com.ar", "30-69234561-2", "Rita Molina", 0},
    {"P013", "Neumáticos San Martín S.A.", "", "", "San Martín", "1650", "Buenos Aires", "4752-8080",
     "neumaticos@sanmartin.com.ar", "30-70345672-3", "Sergio Toledo", 0},
    {"P014", "Pinturerías Lanús S.R.L.", "Hipólito Yrigoyen", "4210", "Lanús", "1824", "Buenos Aires",
     "4241-3737", "ventas@pintureriaslanus.com.ar", "30-61456783-4", "Teresa Benítez", 0},
    {"P015", "Químicos Industriales Zárate S.A.", "Justa Lima", "1020", "Zárate", "2800", "Buenos Aires",
     "03487-42-2222", "quimicos@izarate.com.ar", "30-72567894-5", "Ulises Farías", 0},
    {"P016", "Rodamientos Tucumán S.A.", "Av. Sarmiento", "560", "San Miguel de Tucumán", "T4000", "Tucumán",
     "0381-430-6161", "rodamientos@tucuman.com.ar", "30-53678905-6", "Valeria Ríos", 0},
    {"P017", "Sanitarios Mendoza S.R.L.", "San Martín", "1340", "Mendoza", "M5500", "Mendoza",
     "0261-425-7474", "sanitarios@mendoza.com.ar", "30-64789016-7", "Walter Godoy", 0},
    {"P018", "Tornillos Rosario S.A.", "Córdoba", "3320", "Rosario", "S2000", "Santa Fe", "0341-440-9090",
     "tornillos@rosario.com.ar", "30-75890127-8", "Ximena Acuña", 0},
    {"P019", "Válvulas y Accesorios Salta S.A.", "Balcarce", "120", "Salta", "A4400", "Salta",
     "0387-431-0101", "valvulas@salta.com.ar", "30-56901238-9", "Yamila Roldán", 1},
    {"P020", "Zinguería Bahía Blanca", "Alsina", "77", "Bahía Blanca", "B8000", "Buenos Aires",
     "0291-452-3434", "zingueria@bahiablanca.com.ar", "20-20123459-0", "Zulema Arce", 0},
};

struct Articulo {
  const char* id;
  const char* descripcion;
  const char* familia;
  const char* unidad;
  long long precioCentesimos;
};

const Articulo kArticulos[] = {
    {"ART0001", "Tornillo hexagonal 1/4 x 2\"", "010101", "UN", 1850},
    {"ART0002", "Tuerca hexagonal 1/4\"", "0101", "UN", 420},
    {"ART0003", "Arandela plana 1/4\"", "0101", "UN", 180},
    {"ART0004", "Cable unipolar 2,5 mm² (rollo 100 m)", "0201", "RL", 4599000},
    {"ART0005", "Cinta aisladora 20 m", "02", "UN", 95000},
    {"ART0006", "Llave térmica bipolar 20 A", "02", "UN", 1234500},
    {"ART0007", "Pintura látex blanca 20 l", "01", "LT", 6890000},
    {"ART0008", "Rodillo de lana 22 cm", "01", "UN", 879000},
    {"ART0009", "Caño PVC 110 mm x 4 m", "01", "UN", 1575000},
    {"ART0010", "Válvula esférica 1/2\"", "01", "UN", 645050},
    {"ART0011", "Guantes de descarne (par)", "01", "PR", 325000},
    {"ART0012", "Aceite hidráulico ISO 68 (20 l)", "01", "LT", 9800000},
};
constexpr int kCantidadArticulos = sizeof kArticulos / sizeof kArticulos[0];

const char* const kCondiciones[3] = {"Contado", "30 días", "60 días"};

// Inserts one order (header, lines, observations) with the demo formulas.
struct Cargador {
  Sentencia cabecera;
  Sentencia renglon;
  Sentencia observacion;
  explicit Cargador(sqlite3* db)
      : cabecera(db,
                 "INSERT INTO c_mv_cpte (Cuenta, TC, IdComprobante, Fecha, FechaEntrega, Usuario,"
                 " UNegocio, CondicionPago, Subtotal, Iva, Total, Pendiente, Anulado, CAE,"
                 " FechaEnvioMail) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"),
        renglon(db,
                "INSERT INTO c_mv_cpteser (Cuenta, TC, IdComprobante, Renglon, IdArticulo,"
                " Descripcion, Unidad, Cantidad, PrecioUnitario, Bonificacion, Importe)"
                " VALUES (?,?,?,?,?,?,?,?,?,?,?)"),
        observacion(db,
                    "INSERT INTO c_mv_cpteobs (Cuenta, TC, IdComprobante, Renglon, Observacion)"
                    " VALUES (?,?,?,?,?)") {}

  // i numbers the order; pendiente/anulado/enviado say its state.
  void Pedido(long i, bool pendiente, bool anulado) {
    const std::string cuenta = demo::ProveedorPedido(i);
    const std::string numero = demo::NumeroPedido(i);
    const long dia = kDia20240215 + (i * 7) % 75;
    const int lineas = 1 + static_cast<int>(i % 4);
    const long long bonificacion = (i % 7 == 0) ? 5 : 0;

    long long subtotal = 0;
    struct Linea {
      const Articulo* a;
      long long cantidad;
      long long importe;
    };
    Linea ls[4];
    for (int r = 0; r < lineas; ++r) {
      const Articulo& a = kArticulos[(i * 3 + r * 5) % kCantidadArticulos];
      long long cantidad = 1 + ((i + r) % 10) * 5;
      long long importe = llround(static_cast<double>(cantidad * a.precioCentesimos) *
                                  static_cast<double>(100 - bonificacion) / 100.0);
      ls[r] = {&a, cantidad, importe};
      subtotal += importe;
    }
    const long long iva = llround(static_cast<double>(subtotal) * 0.21);

    cabecera.Texto(cuenta)
        .Texto("OC")
        .Texto(numero)
        .Texto(FechaIso(dia))
        .Texto(FechaIso(dia + 15))
        .Texto(demo::CompradorPedido(i))
        .Texto(numero.compare(0, 4, "0002") == 0 ? "   2" : "   1")
        .Texto(kCondiciones[i % 3])
        .Centesimos(subtotal)
        .Centesimos(iva)
        .Centesimos(subtotal + iva)
        .Entero(pendiente ? 1 : 0)
        .Entero(anulado ? 1 : 0)
        .Nulo();
    if (pendiente && demo::PedidoEnviado(i))
      cabecera.Texto(FechaIso(dia + 1));
    else
      cabecera.Nulo();
    cabecera.Fila();

    for (int r = 0; r < lineas; ++r) {
      renglon.Texto(cuenta)
          .Texto("OC")
          .Texto(numero)
          .Entero(r + 1)
          .Texto(ls[r].a->id)
          .Texto(ls[r].a->descripcion)
          .Texto(ls[r].a->unidad)
          .Centesimos(ls[r].cantidad * 100)
          .Centesimos(ls[r].a->precioCentesimos)
          .Centesimos(bonificacion * 100)
          .Centesimos(ls[r].importe);
      renglon.Fila();
    }
    if (i % 3 == 0) {
      observacion.Texto(cuenta).Texto("OC").Texto(numero).Entero(1).Texto(
          "Entregar en Depósito Central, de lunes a viernes de 8 a 16 hs.");
      observacion.Fila();
    }
    if (i % 6 == 0) {
      observacion.Texto(cuenta).Texto("OC").Texto(numero).Entero(2).Texto(
          "Adjuntar remito y certificado de calidad.");
      observacion.Fila();
    }
  }
};

void Filas(sqlite3* db, const char* sql, std::initializer_list<std::initializer_list<const char*>> filas) {
  Sentencia s(db, sql);
  for (const auto& fila : filas) {
    for (const char* v : fila) {
      if (v)
        s.Texto(v);
      else
        s.Nulo();
    }
    s.Fila();
  }
}

void CargarMaestros(sqlite3* db) {
  Filas(db, "INSERT INTO TA_CONFIGURACION (Grupo, Clave, Valor) VALUES (?,?,?)",
        {{"Empresa", "NOMBRE", "Ferretería Industrial del Plata S.A."},
         {"Empresa", "CALLE", "Av. Belgrano"},
         {"Empresa", "NUMERO", "1450"},
         {"Empresa", "PISO", "3"},
         {"Empresa", "Departamento", "B"},
         {"Empresa", "LOCALIDAD", "Buenos Aires"},
         {"Empresa", "CPOSTAL", "C1092AAO"},
         {"Empresa", "TELEFONO", demo::kTelefonoEmpresa},
         {"Empresa", "CONDIVAEMPRESA", "1"},
         {"Empresa", "RUTA_FORMULARIOS_EFACTURA", ""},
         {"General", "TituloClientes", "Clientes"},
         {"General", "TituloProveedores", "Proveedores"},
         {"General", "CantidadDecimales", "2"},
         {"General", "SS_CONFIDENCIALIDAD", "NO"},
         {"General", "UsaConsultaLike", "SI"},
         {"General", "MostrarStockenConsultas", "NO"},
         {"General", "PERIODO", "2024"},
         {"General", "CFondo", "16777215"},
         {"General", "CLetra", "0"},
         {"General", "THEME", "1"},
         {"General", "Top_Default", "1000"},
         {"Consultas", "TopConsArt", "1000"},
         {"Consultas", "Stk_Nivel1", "32768"},
         {"Consultas", "Stk_Nivel2", "16711680"},
         {"Consultas", "Stk_Nivel3", "255"},
         {"Consultas", "Stk_Nivel4", "0"}});

  Filas(db,
        "INSERT INTO TA_UNIDADNEGOCIO (Codigo, Descripcion, PDV, usaefc, ruta_reporte)"
        " VALUES (?,?,?,?,?)",
        {{"   1", "Casa Central", "0001", "0", ""}, {"   2", "Sucursal Rosario", "0002", "0", ""}});

  Filas(db,
        "INSERT INTO ta_usuarios (Nombre, NombreCompleto, Sector, Administrador, UNegocio,"
        " Mail, verproforma) VALUES (?,?,?,?,?,?,0)",
        {{demo::kAdministrador, "Administrador del sistema", "Sistemas", "1", "   1",
          "sistemas@ferreteriadelplata.com.ar"},
         {"JUAN", "Juan Pérez", "Compras", "0", "   1", "jperez@ferreteriadelplata.com.ar"},
         {"JULIA", "Julia Gómez", "Compras", "0", "   1", "jgomez@ferreteriadelplata.com.ar"},
         {"PEDRO", "Pedro Sánchez", "Compras", "0", "   2", "psanchez@ferreteriadelplata.com.ar"}});

  Filas(db, "INSERT INTO TA_MENU (Clave, Nombre, Proceso, ClavePadre, Orden) VALUES (?,?,?,?,?)",
        {{"SIS", "Menu Principal", "TM440KV.EXE", nullptr, "1"},
         {"COM", "Compras", nullptr, "SIS", "2"},
         {"COM_OC", "Ordenes de Compra", "OCCARGA.EXE", "COM", "1"},
         {"COM_OCMAIL", "Envio de OC por mail", "OCMAIL.EXE", "COM", "2"}});
  Filas(db, "INSERT INTO TA_TAREAS (USUARIO, TAREA) VALUES (?,?)",
        {{demo::kAdministrador, "SIS"},
         {demo::kAdministrador, "COM_OC"},
         {demo::kAdministrador, "COM_OCMAIL"},
         {"JUAN", "COM_OCMAIL"},
         {"JULIA", "COM_OCMAIL"}});

  Filas(db,
        "INSERT INTO TA_REPORTES (NOMBRE, Descripcion, Archivo, Archivo2, Archivo3, Archivo4)"
        " VALUES (?,?,?,'','','')",
        {{"OC-X", "Orden de compra", "OC-X"},
         {"OC-A", "Orden de compra (letra A)", "OC"},
         {"OCMAIL", "Ordenes de compra pendientes", "OCMAIL"}});

  Filas(db, "INSERT INTO TA_CPTE (Codigo, Descripcion, SISTEMA) VALUES (?,?,?)",
        {{"OC", "Orden de Compra", "Compras"},
         {"FP", "Factura de Proveedor", "Compras"},
         {"FC", "Factura", "Ventas"},
         {"NC", "Nota de Crédito", "Ventas"},
         {"RM", "Remito", "Ventas"}});

  {
    Sentencia s(db,
                "INSERT INTO vt_proveedores (Codigo, Razon_Social, Calle, Numero, Localidad,"
                " CPostal, Provincia, Telefono, Mail, CUIT, Contacto, Dada_De_Baja)"
                " VALUES (?,?,?,?,?,?,?,?,?,?,?,?)");
    for (const Proveedor& p : kTablaProveedores) {
      s.Texto(p.codigo)
          .Texto(p.razon)
          .Texto(p.calle)
          .Texto(p.numero)
          .Texto(p.localidad)
          .Texto(p.cpostal)
          .Texto(p.provincia)
          .Texto(p.telefono);
      if (p.mail)
        s.Texto(p.mail);
      else
        s.Nulo();
      s.Texto(p.cuit).Texto(p.contacto).Entero(p.baja);
      s.Fila();
    }
  }

  Filas(db,
        "INSERT INTO VT_CLIENTES (Codigo, Razon_Social, Contacto, Calle, Numero, Localidad,"
        " Telefono, Mail) VALUES (?,?,?,?,?,?,?,?)",
        {{"C001", "Constructora Pampa S.A.", "Elena Maidana", "Corrientes", "1200", "Buenos Aires",
          "4322-1000", "compras@constructorapampa.com.ar"},
         {"C002", "Talleres Unidos S.R.L.", "Fabián Ledesma", "Jujuy", "455", "Rosario", "0341-421-2000",
          "talleres@unidos.com.ar"},
         {"C003", "Municipalidad de Ejemplo", "Mesa de entradas", "Plaza", "1", "Ejemplo", "0800-333-0000",
          nullptr}});

  Filas(db,
        "INSERT INTO MA_CONTACTOS (Nombre_y_Apellido, Domicilio, Localidad, Telefono, Mail)"
        " VALUES (?,?,?,?,?)",
        {{"Raúl Ortega", "Mitre 1234", "Avellaneda", "4201-5500", "rortega@acerosdelsur.com.ar"},
         {"Iñaki Añasco", "O'Higgins 1530", "Buenos Aires", "4784-0990", nullptr},
         {"Elena Maidana", "Corrientes 1200", "Buenos Aires", "4322-1000", nullptr}});

  Filas(db, "INSERT INTO TA_VENDEDORES (IdVendedor, Nombre) VALUES (?,?)",
        {{"V01", "Carlos Ruiz"}, {"V02", "Mónica Herrera"}});
  Filas(db, "INSERT INTO TA_TECNICOS (IdTecnico, Nombre) VALUES (?,?)",
        {{"T01", "Marta Díaz"}, {"T02", "Luis Acosta"}});
  Filas(db, "INSERT INTO MA_MANTENIMIENTOS (Codigo, Descripcion) VALUES (?,?)",
        {{"M01", "Mantenimiento preventivo"}, {"M02", "Mantenimiento correctivo"}});

  Filas(db, "INSERT INTO TA_FAMILIAS (IdFamilia, Descripcion) VALUES (?,?)",
        {{"01", "Ferretería"},
         {"0101", "Tornillería"},
         {"010101", "Tornillos"},
         {"02", "Electricidad"},
         {"0201", "Cables"}});
  {
    Sentencia s(db,
                "INSERT INTO MA_ARTICULOS (IdArticulo, Descripcion, IdFamilia, Unidad,"
                " Precio1, Precio2, PuntoPedido, Stock, Suspendido) VALUES (?,?,?,?,?,?,?,?,?)");
    for (int k = 0; k < kCantidadArticulos; ++k) {
      const Articulo& a = kArticulos[k];
      s.Texto(a.id)
          .Texto(a.descripcion)
          .Texto(a.familia)
          .Texto(a.unidad)
          .Centesimos(a.precioCentesimos)
          .Centesimos(a.precioCentesimos * 11 / 10)
          .Entero(k % 3 == 0 ? 0 : 20)
          .Entero((k * 37) % 60)
          .Entero(k == 11 ? 1 : 0);
      s.Fila();
    }
  }

  Filas(db,
        "INSERT INTO TA_DEPOSITO (IdDeposito, Descripcion, UnidadNegocio, Confidencial)"
        " VALUES (?,?,?,?)",
        {{"01", "Depósito Central", "   1", "0"},
         {"02", "Depósito Rosario", "   2", "0"},
         {"99", "Depósito de Gerencia", "   1", "1"}});
  Filas(db,
        "INSERT INTO TA_CAJAS (IdCaja, Descripcion, UnidadNegocio, Confidencial)"
        " VALUES (?,?,?,?)",
        {{"1", "Caja Central", "   1", "0"}, {"2", "Caja Tesorería", "   1", "1"}});
  Filas(db, "INSERT INTO MA_POSICIONES (IdPosicion, Descripcion) VALUES (?,?)",
        {{"7318", "Tornillos y pernos"},
         {"7318.15", "Tornillos y pernos roscados"},
         {"8544", "Conductores eléctricos"}});

  Filas(db, "INSERT INTO MA_CUENTAS (Codigo, Descripcion, Imputable, Confidencial) VALUES (?,?,?,?)",
        {{"1", "Activo", "0", "0"},
         {"11", "Activo corriente", "0", "0"},
         {"111", "Caja", "1", "0"},
         {"112", "Bancos", "1", "0"},
         {"2", "Pasivo", "0", "0"},
         {"21", "Proveedores", "1", "0"},
         {"5", "Gastos", "0", "0"},
         {"51", "Sueldos de gerencia", "1", "1"},
         {"52", "Gastos generales", "1", "0"}});
  Filas(db, "INSERT INTO TA_CCOSTO (Codigo, Descripcion) VALUES (?,?)",
        {{"100", "Administración"}, {"200", "Compras"}, {"300", "Ventas"}});
  Filas(db,
        "INSERT INTO MV_ASIENTOS (IdAsiento, Renglon, Fecha, Cuenta, Detalle, Debe, Haber,"
        " Confidencial) VALUES (?,?,?,?,?,?,?,?)",
        {{"1", "1", "2024-03-01 00:00:00", "52", "Gastos de librería", "1500", "0", "0"},
         {"1", "2", "2024-03-01 00:00:00", "111", "Gastos de librería", "0", "1500", "0"},
         {"2", "1", "2024-03-31 00:00:00", "51", "Sueldos de gerencia", "900000", "0", "1"},
         {"2", "2", "2024-03-31 00:00:00", "112", "Sueldos de gerencia", "0", "900000", "1"}});
  Filas(db, "INSERT INTO AC_CUENTASDIARIO (Codigo, Descripcion, Confidencial) VALUES (?,?,?)",
        {{"111", "Caja", "0"}, {"112", "Bancos", "0"}, {"51", "Sueldos de gerencia", "1"}});
  Filas(db,
        "INSERT INTO AC_CUENTASDIARIO_CCOSTO (Codigo, CCosto, Descripcion, Confidencial)"
        " VALUES (?,?,?,?)",
        {{"52", "100", "Gastos generales - Administración", "0"},
         {"51", "100", "Sueldos de gerencia - Administración", "1"}});
}

}  // namespace

namespace demo {

std::string NumeroPedido(long i) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%s%08ld%c", i % 5 == 4 ? "0002" : "0001", 1000 + i,
                i % 10 == 6 ? 'A' : 'X');
  return buf;
}

std::string ProveedorPedido(long i) { return kTablaProveedores[i % kProveedoresConPedidos].codigo; }

std::string CompradorPedido(long i) { return kCompradores[(i + i / kProveedoresConPedidos) % 3]; }

}  // namespace demo

void CargarDemo(sqlite3* db, long pedidos) {
  if (pedidos < 0) pedidos = 0;
  Ejecutar(db, "BEGIN", "Demo");
  try {
    CargarMaestros(db);
    Cargador c(db);
    for (long i = 0; i < pedidos; ++i) c.Pedido(i, true, false);
    // Orders already received and one void order: outside the pending-order view.
    const long cerrados = std::max(2L, pedidos / 20);
    for (long k = 0; k < cerrados; ++k) c.Pedido(pedidos + k, false, false);
    c.Pedido(pedidos + cerrados, true, true);

    // Invoices issued electronically, for the electronic-document view.
    Filas(db,
          "INSERT INTO c_mv_cpte (Cuenta, TC, IdComprobante, Fecha, Usuario, UNegocio,"
          " Subtotal, Iva, Total, Pendiente, CAE) VALUES (?,?,?,?,?,?,?,?,?,0,?)",
          {{"C001", "FC", "000100000001A", "2024-03-04 00:00:00", "admin", "   1", "100000", "21000",
            "121000", "74123456789012"},
           {"C002", "FC", "000100000002B", "2024-03-05 00:00:00", "admin", "   1", "50000", "10500", "60500",
            "74123456789013"},
           {"C003", "RM", "000200000001R", "2024-03-06 00:00:00", "admin", "   2", "0", "0", "0", nullptr}});
    Ejecutar(db, "COMMIT", "Demo");
  } catch (...) {
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
}

void CargarDemoEstadisticas(sqlite3* db) {
  Ejecutar(db,
           "INSERT OR IGNORE INTO TA_CONFIGURACION (Grupo, Clave, Valor, ValorAux, PoliticaNegocio)"
           " VALUES ('BaseDeDatos', 'TIMEOUT', '360', '', 0)",
           "Demo de estadisticas");
}

std::string CarpetaEsquema() {
  std::error_code ec;
  fs::path junto = fs::path(os::CarpetaAplicacion()) / "schema";
  if (fs::is_regular_file(junto / "ocmail.sql", ec)) return junto.string();
#ifdef OCMAIL_SHARE_FUENTE
  fs::path fuente = fs::path(OCMAIL_SHARE_FUENTE) / "schema";
  if (fs::is_regular_file(fuente / "ocmail.sql", ec)) return fuente.string();
#endif
  return junto.string();
}

std::string ArchivoBase(const std::string& nombre) {
  return fs::path(nombre).has_extension() ? nombre : nombre + ".db";
}

namespace {

// An open sqlite3 handle that is closed on every path.
struct Base {
  sqlite3* db = nullptr;
  explicit Base(const std::string& ruta) {
    if (sqlite3_open_v2(ruta.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
      std::string e = db ? sqlite3_errmsg(db) : "sin memoria";
      sqlite3_close(db);
      db = nullptr;
      throw std::runtime_error("No se puede crear la base " + ruta + ": " + e);
    }
  }
  ~Base() { sqlite3_close(db); }
};

void BorrarBase(const fs::path& p) {
  std::error_code ec;
  fs::remove(p, ec);
  fs::remove(p.string() + "-journal", ec);
  fs::remove(p.string() + "-wal", ec);
  fs::remove(p.string() + "-shm", ec);
}

// Builds a database in a temporary file of the same folder; the caller moves it in place.
fs::path ConstruirTemporal(const fs::path& destino, const std::string& esquema,
                           const std::function<void(sqlite3*)>& cargar) {
  fs::path tmp = destino;
  tmp += ".nuevo-" + std::to_string(::getpid());
  BorrarBase(tmp);
  try {
    Base b(tmp.string());
    // Keys and indexes sorted by the program's NOCASE from the start, and the file says
    // so: the program has nothing to re-sort on its first open.
    ado::RegistrarTextoSinCaso(b.db);
    // A temporary file that is removed on failure: no journal needed while it is built.
    Ejecutar(b.db, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; PRAGMA foreign_keys=ON;", "Base nueva");
    Ejecutar(b.db,
             "BEGIN;\n" + esquema + "\n;PRAGMA user_version = " + std::to_string(ado::kVersionTextoSinCaso) +
                 ";COMMIT;",
             "Esquema de " + destino.filename().string());
    if (cargar) cargar(b.db);
  } catch (...) {
    BorrarBase(tmp);
    throw;
  }
  return tmp;
}

// Moves `tmp` to `destino`; without `reemplazar` an existing file is never overwritten.
void Colocar(const fs::path& tmp, const fs::path& destino, bool reemplazar) {
  if (reemplazar) {
    BorrarBase(destino);
    std::error_code ec;
    fs::rename(tmp, destino, ec);
    if (ec) {
      BorrarBase(tmp);
      throw std::runtime_error("No se puede crear " + destino.string() + ": " + ec.message());
    }
    return;
  }
  // link() fails when the name exists, so a file created meanwhile is not overwritten.
  if (::link(tmp.c_str(), destino.c_str()) != 0) {
    int e = errno;
    BorrarBase(tmp);
    if (e == EEXIST)
      throw std::runtime_error("La base " + destino.string() + " ya existe (use --forzar para reemplazarla)");
    throw std::runtime_error("No se puede crear " + destino.string() + ": " +
                             std::error_code(e, std::generic_category()).message());
  }
  BorrarBase(tmp);
}

}  // namespace

std::string CrearBaseDatos(const std::string& archivo, long pedidosDemo, bool forzar) {
  if (archivo.empty()) throw std::runtime_error("Falta el nombre de la base a crear");
  const fs::path destino = fs::absolute(ArchivoBase(archivo));
  std::error_code ec;
  if (!fs::is_directory(destino.parent_path(), ec))
    throw std::runtime_error("No existe la carpeta " + destino.parent_path().string());
  if (!forzar && fs::exists(destino, ec))
    throw std::runtime_error("La base " + destino.string() + " ya existe (use --forzar para reemplazarla)");

  const std::string carpeta = CarpetaEsquema();
  const std::string esquema = LeerArchivo((fs::path(carpeta) / "ocmail.sql").string());
  const std::string esquemaEst = LeerArchivo((fs::path(carpeta) / "estadisticas.sql").string());

  fs::path tmp = ConstruirTemporal(destino, esquema, [&](sqlite3* db) {
    if (pedidosDemo >= 0) CargarDemo(db, pedidosDemo);
  });

  // The statistics database is shared by every database of the folder: kept when present.
  const fs::path estadisticas = destino.parent_path() / kArchivoEstadisticas;
  const bool hayEstadisticas = fs::exists(estadisticas, ec) && destino != estadisticas;
  if (!hayEstadisticas || forzar) {
    fs::path tmpEst;
    try {
      tmpEst = ConstruirTemporal(estadisticas, esquemaEst, [&](sqlite3* db) {
        if (pedidosDemo >= 0) CargarDemoEstadisticas(db);
      });
      Colocar(tmpEst, estadisticas, /*reemplazar=*/true);
    } catch (...) {
      BorrarBase(tmp);
      throw;
    }
  }
  Colocar(tmp, destino, forzar);
  return destino.string();
}

}  // namespace ocmailsql

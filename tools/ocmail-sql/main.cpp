// ocmail-sql: creates embedded databases and runs statements through the program's
// data-access class.
//
//   ocmail-sql --crear FILE [--demo [N]] [--forzar]
//   ocmail-sql "@Server=sqlite;@DbName=demo;@Usuario=admin;@Password=x;" [SQL ...]
#include <cstdlib>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "data/db_dll.h"
#include "ocmail-sql/base_datos.h"
#include "ocmail-sql/consola.h"
#include "platform/os/argumentos.h"
#include "platform/os/sistema.h"

namespace {

const char* const kUso =
    "Uso:\n"
    "  ocmail-sql --crear ARCHIVO [--demo [N]] [--forzar]\n"
    "      crea la base embebida ARCHIVO (\".db\" si no tiene extension) y QZ_ESTADISTICAS.db\n"
    "      en la misma carpeta; con --demo carga el juego de demostracion con N ordenes de\n"
    "      compra pendientes (60 si no se indica); --forzar reemplaza una base existente.\n"
    "  ocmail-sql \"LINEA DE LANZAMIENTO\" [SENTENCIA ...]\n"
    "      se conecta como el programa (@Server=..;@DbName=..;@Usuario=..;@Password=..;) y\n"
    "      ejecuta las sentencias (o las de la entrada estandar, una por linea).\n";

bool Numero(const std::string& s, long& n) {
  if (s.empty()) return false;
  char* fin = nullptr;
  long v = std::strtol(s.c_str(), &fin, 10);
  if (*fin != '\0' || v < 0) return false;
  n = v;
  return true;
}

int Crear(const std::vector<std::string>& args) {
  std::string archivo;
  long pedidos = -1;
  bool forzar = false;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--crear" && i + 1 < args.size() && archivo.empty()) {
      archivo = args[++i];
    } else if (a == "--demo") {
      pedidos = ocmailsql::demo::kPedidosPorDefecto;
      long n = 0;
      if (i + 1 < args.size() && Numero(args[i + 1], n)) {
        pedidos = n;
        ++i;
      }
    } else if (a == "--forzar") {
      forzar = true;
    } else {
      std::cerr << "ocmail-sql: argumento no reconocido: " << a << "\n" << kUso;
      return 64;
    }
  }
  if (archivo.empty()) {
    std::cerr << kUso;
    return 64;
  }
  try {
    std::string creado = ocmailsql::CrearBaseDatos(archivo, pedidos, forzar);
    std::cerr << "Base creada: " << creado << "\n";
    return 0;
  } catch (const std::exception& e) {
    std::cerr << "ocmail-sql: " << e.what() << "\n";
    return 1;
  }
}

}  // namespace

int main(int argc, char** argv) {
  os::DesactivarVolcados();
  std::vector<std::string> args(argv + 1, argv + argc);
  // Only the first argument is the launch line; the statements after it are not touched.
  os::OcultarClaveEnArgumentos(argc < 2 ? argc : 2, argv);
  if (args.empty() || args[0] == "--ayuda" || args[0] == "--help" || args[0] == "-h") {
    std::cerr << kUso;
    return args.empty() ? 64 : 0;
  }
  // --crear may come after --demo/--forzar too.
  for (const std::string& a : args)
    if (a == "--crear") {
      std::vector<std::string> ordenados{"ocmail-sql"};
      for (size_t i = 0; i < args.size(); ++i) ordenados.push_back(args[i]);
      return Crear(ordenados);
    }
  std::vector<std::string> sentencias(args.begin() + 1, args.end());
  int codigo = ocmailsql::EjecutarConsola(args[0], sentencias, std::cin, std::cout, std::cerr);
  std::cout.flush();
  LiberarInstanciasDB();
  return codigo;
}

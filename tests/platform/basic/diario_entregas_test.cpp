#include "platform/basic/diario_entregas.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <map>

#include <gtest/gtest.h>

#include "support/temp_dir.h"

using namespace basic;

namespace {

LineaEntrega Linea(std::string archivo, std::string resultado, std::string detalle = "250 OK",
                   std::string id = "20260912-140533-1-abc") {
  return {"2026-09-12 14:05:34", std::move(archivo),    "prov@example.com", std::move(resultado),
          std::move(detalle),    "<1.2.3@empresa.com>", std::move(id)};
}

}  // namespace

// What is written reads back as written: accents in Windows-1252, TAB and line ends inside
// a field as blanks, empty fields kept.
TEST(DiarioEntregas, EachLineReadsBackAsWritten) {
  LineaEntrega acentos =
      Linea("P001-000100001000X.html", kEntregaPendiente, "Connection refused; se\u00f1or \u20ac");
  acentos.destinatario = "a@b.com; c@d.com";
  LineaEntrega aplanada = Linea("P002.html", kEntregaFallido, "550 5.1.1\tno existe\r\nadios");
  aplanada.destinatario = "x@y.com\n";
  LineaEntrega vacia = Linea("", kEntregaPendiente, "");
  vacia.messageId = "";

  const std::string bytes = LineaDiario(acentos) + LineaDiario(aplanada) + LineaDiario(vacia);
  EXPECT_NE(bytes.find("se\xf1or \x80\t<1.2.3@empresa.com>"), std::string::npos);
  EXPECT_EQ(LineaDiario(aplanada).substr(LineaDiario(aplanada).size() - 2), "\r\n");
  EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\t'), 18);

  aplanada.detalle = "550 5.1.1 no existe  adios";
  aplanada.destinatario = "x@y.com ";
  EXPECT_EQ(LeerDiario(bytes), (std::vector<LineaEntrega>{acentos, aplanada, vacia}));
}

// The reader keeps the whole, well-formed lines and never fails on the rest.
TEST(DiarioEntregas, ReaderSkipsCutAndMalformedLines) {
  const std::string buena = LineaDiario(Linea("P.html", kEntregaEnviado));
  const std::string sinFin = buena.substr(0, buena.size() - 2);
  const struct {
    const char* nombre;
    std::string bytes;
    size_t lineas;
  } casos[] = {
      {"vacio", "", 0},
      {"ultima linea cortada por una caida", buena + buena.substr(0, 20), 1},
      {"ultima linea sin CR LF", buena + sinFin, 1},
      {"seis campos", "a\tb\tc\td\te\tf\r\n" + buena, 1},
      {"ocho campos", "a\tb\tc\td\te\tf\tg\th\r\n" + buena, 1},
      {"solo LF", sinFin + "\n" + sinFin + "\n", 0},
      {"CR suelto dentro", "a\tb\rc\tc\td\te\tf\tg\r\n", 1},
      {"bytes cualquiera", std::string("\0\xff\t\r\r\n\t\t\t\t\t\t\r\n\x81\x9d", 16), 1},
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(c.nombre);
    const auto lineas = LeerDiario(c.bytes);
    EXPECT_EQ(lineas.size(), c.lineas);
    for (const auto& l : lineas) EXPECT_EQ(LeerDiario(LineaDiario(l)), std::vector<LineaEntrega>{l});
  }
}

TEST(DiarioEntregas, LastLineOfEachAttachmentIsItsState) {
  const std::vector<LineaEntrega> lineas = {
      Linea("A.html", kEntregaPendiente, "Connection refused", "1"),
      Linea("B.html", kEntregaFallido, "550 no existe", "2"),
      Linea("A.html", kEntregaPendiente, "Timeout", "1"),
      Linea("", kEntregaPendiente, "sin adjunto", "3"),
      Linea("A.html", kEntregaEnviado, "250 OK", "1"),
  };
  const auto estado = UltimoEstadoPorArchivo(lineas);
  ASSERT_EQ(estado.size(), 2u);
  EXPECT_EQ(estado.at("A.html"), lineas[4]);
  EXPECT_EQ(estado.at("B.html"), lineas[1]);
}

// Two processes appending at once: every line is whole, none lost. The long detail makes
// each line several kilobytes, so a line written in pieces would show.
TEST(DiarioEntregas, ConcurrentWritersNeverMixInsideALine) {
  TempDir dir;
  const std::string ruta = dir / "CORREO/ENTREGAS.TXT";  // the folder is created
  constexpr int kPorProceso = 400;
  std::vector<pid_t> hijos;
  for (char quien : {'a', 'b'}) {
    const pid_t pid = fork();
    if (pid == 0) {
      bool ok = true;
      for (int i = 0; i < kPorProceso; ++i)
        ok = AgregarAlDiario(ruta, Linea(std::string(1, quien) + std::to_string(i) + ".html", kEntregaEnviado,
                                         std::string(9000, quien), std::string(1, quien))) &&
             ok;
      _exit(ok ? 0 : 1);
    }
    hijos.push_back(pid);
  }
  for (pid_t pid : hijos) {
    int estado = 0;
    waitpid(pid, &estado, 0);
    EXPECT_TRUE(WIFEXITED(estado) && WEXITSTATUS(estado) == 0);
  }
  const auto lineas = LeerDiario(ReadBytes(ruta));
  ASSERT_EQ(lineas.size(), 2u * kPorProceso);
  std::map<std::string, int> siguiente;
  for (const auto& l : lineas) {
    ASSERT_EQ(l.detalle, std::string(9000, l.idCola[0]));
    EXPECT_EQ(l.archivo, l.idCola + std::to_string(siguiente[l.idCola]++) + ".html");  // each in its order
  }
}

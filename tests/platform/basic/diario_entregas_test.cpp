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

namespace {

LineaEntrega LineaDel(std::string fecha, std::string archivo, std::string resultado) {
  return {std::move(fecha), std::move(archivo), "prov@example.com", std::move(resultado), "", "<m@x>", "id"};
}

std::map<std::string, std::string> Estados(const std::vector<LineaEntrega>& lineas) {
  std::map<std::string, std::string> r;
  for (const auto& [archivo, l] : UltimoEstadoPorArchivo(lineas)) r[archivo] = l.resultado;
  return r;
}

// The states a list shows: a sent order looks like one with no line.
std::map<std::string, std::string> Mostrados(std::map<std::string, std::string> estados) {
  std::erase_if(estados, [](const auto& e) { return e.second == kEntregaEnviado; });
  return estados;
}

}  // namespace

// What a list load reads out of a journal folder as several PCs and older versions left it.
TEST(DiarioEntregas, ReaderOfTheOldFileAndEveryPcsSummaryAndMonths) {
  TempDir dir;
  const std::string entregas = dir / "CORREO/ENTREGAS.TXT";
  std::filesystem::create_directories(dir / "CORREO/ENTREGAS/PC-A");
  std::filesystem::create_directories(dir / "CORREO/ENTREGAS/PC-B");
  WriteBytes(entregas, LineaDiario(LineaDel("2026-01-05 09:00:00", "VIEJA.html", kEntregaPendiente)) +
                           LineaDiario(LineaDel("2026-01-05 09:00:01", "Y.html", kEntregaFallido)));
  WriteBytes(
      dir / "CORREO/ENTREGAS/PC-A/RESUMEN.TXT",
      "HASTA\t2026-08\r\n" + LineaDiario(LineaDel("2026-07-01 10:00:00", "RESUMIDA.html", kEntregaFallido)));
  // Covered by the summary: not read.
  WriteBytes(dir / "CORREO/ENTREGAS/PC-A/2026-08.TXT",
             LineaDiario(LineaDel("2026-08-02 10:00:00", "RESUMIDA.html", kEntregaEnviado)) +
                 LineaDiario(LineaDel("2026-08-03 10:00:00", "CUBIERTA.html", kEntregaEnviado)));
  WriteBytes(dir / "CORREO/ENTREGAS/PC-A/2026-09.TXT",
             LineaDiario(LineaDel("2026-09-01 10:00:00", "CORTADA.html", kEntregaPendiente)) +
                 "2026-09-01 10:00:01\tMAL.html\tENVIADO\r\n" +
                 LineaDiario(LineaDel("2026-09-20 10:00:00", "Y.html", kEntregaEnviado)) +
                 LineaDiario(LineaDel("2026-09-02 10:00:00", "CORTADA.html", kEntregaEnviado)).substr(0, 30));
  // Another PC's file, its last line still being written.
  WriteBytes(dir / "CORREO/ENTREGAS/PC-B/2026-09.TXT",
             LineaDiario(LineaDel("2026-09-15 10:00:00", "Y.html", kEntregaPendiente)) +
                 LineaDiario(LineaDel("2026-09-16 10:00:00", "AJENA.html", kEntregaPendiente)) +
                 LineaDiario(LineaDel("2026-09-17 10:00:00", "AJENA.html", kEntregaEnviado)).substr(0, 50));
  WriteBytes(dir / "CORREO/ENTREGAS/PC-B/NOTAS.TXT",
             LineaDiario(LineaDel("2026-09-18 10:00:00", "NOTA.html", kEntregaEnviado)));

  const std::vector<LineaEntrega> lineas = LeerDiarios(entregas);
  EXPECT_TRUE(std::is_sorted(lineas.begin(), lineas.end(),
                             [](const LineaEntrega& a, const LineaEntrega& b) { return a.fecha < b.fecha; }));
  const auto estados = Estados(lineas);
  const struct {
    const char* archivo;
    const char* estado;  // "" when not read
    const char* por_que;
  } casos[] = {
      {"VIEJA.html", kEntregaPendiente, "a line of the old ENTREGAS.TXT"},
      {"RESUMIDA.html", kEntregaFallido, "the summary stands for the months it covers"},
      {"CUBIERTA.html", "", "a month the summary covers is not read"},
      {"CORTADA.html", kEntregaPendiente, "a cut last line is skipped"},
      {"MAL.html", "", "a malformed line is skipped"},
      {"Y.html", kEntregaEnviado, "the latest date wins across PCs and the old file"},
      {"AJENA.html", kEntregaPendiente, "a foreign PC's file being written: its whole lines"},
      {"NOTA.html", "", "only month files and the summary are journal"},
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(std::string(c.archivo) + ": " + c.por_que);
    const auto it = estados.find(c.archivo);
    EXPECT_EQ(it == estados.end() ? "" : it->second, c.estado);
  }
  EXPECT_EQ(estados.size(), 5u);
}

// tspost's writer: one folder per PC, one file per month in the journal's line format, and
// a summary that keeps the reads to two months without changing any state the list shows.
TEST(DiarioEntregas, WriterKeepsTwoMonthsAndASummaryAndLosesNothing) {
  TempDir dir;
  const std::string entregas = dir / "CORREO/ENTREGAS.TXT";
  const std::string pc = dir / "CORREO/ENTREGAS/PC-A";
  std::map<std::string, std::string> esperado;
  auto agregar = [&](const LineaEntrega& l) {
    ASSERT_TRUE(AgregarAlDiarioDelEquipo(entregas, l, "PC-A"));
    esperado[l.archivo] = l.resultado;
  };
  agregar(LineaDel("2026-01-10 08:00:00", "R.html", kEntregaPendiente));
  for (int mes = 1; mes <= 5; ++mes) {
    agregar(LineaDel("2026-0" + std::to_string(mes) + "-15 08:00:00", "M" + std::to_string(mes) + ".html",
                     mes % 2 ? kEntregaEnviado : kEntregaFallido));
    if (mes == 3) agregar(LineaDel("2026-03-16 08:00:00", "R.html", kEntregaEnviado));
  }
  EXPECT_EQ(ReadBytes(pc + "/2026-05.TXT"),
            LineaDiario(LineaDel("2026-05-15 08:00:00", "M5.html", kEntregaEnviado)));
  EXPECT_EQ(ArchivosDelDiario(entregas),
            (std::vector<std::string>{pc + "/RESUMEN.TXT", pc + "/2026-04.TXT", pc + "/2026-05.TXT"}));
  EXPECT_EQ(Mostrados(Estados(LeerDiarios(entregas))), Mostrados(esperado));
  EXPECT_EQ(ReadBytes(pc + "/RESUMEN.TXT"),  // the sent ones left out
            "HASTA\t2026-03\r\n" + LineaDiario(LineaDel("2026-02-15 08:00:00", "M2.html", kEntregaFallido)));
  EXPECT_TRUE(std::filesystem::exists(pc + "/2026-01.TXT"));  // summarised, kept

  // A clock set back writes into the first month after the summary, where it is read.
  agregar(LineaDel("2026-01-20 08:00:00", "ATRAS.html", kEntregaPendiente));
  EXPECT_NE(ReadBytes(pc + "/2026-04.TXT").find("ATRAS.html"), std::string::npos);
  EXPECT_EQ(Mostrados(Estados(LeerDiarios(entregas))), Mostrados(esperado));
  EXPECT_EQ(ArchivosDelDiario(entregas, true).size(), 6u);  // every month, for the claims

  // Another PC waited on X and this one sent it: the sent line stays in the summary while
  // it must override the other's, and goes once the other PC's summary let the wait go.
  const std::string otro = dir / "CORREO/ENTREGAS/PC-B";
  ASSERT_TRUE(AgregarAlDiarioDelEquipo(entregas, LineaDel("2026-05-20 08:00:00", "X.html", kEntregaPendiente),
                                       "PC-B"));
  agregar(LineaDel("2026-05-21 08:00:00", "X.html", kEntregaEnviado));
  agregar(LineaDel("2026-07-01 08:00:00", "M7.html", kEntregaEnviado));
  EXPECT_NE(ReadBytes(pc + "/RESUMEN.TXT").find("X.html"), std::string::npos);
  EXPECT_EQ(Estados(LeerDiarios(entregas))["X.html"], kEntregaEnviado);
  ASSERT_TRUE(
      AgregarAlDiarioDelEquipo(entregas, LineaDel("2026-07-02 08:00:00", "Z.html", kEntregaEnviado), "PC-B"));
  EXPECT_EQ(ReadBytes(otro + "/RESUMEN.TXT"), "HASTA\t2026-05\r\n");
  agregar(LineaDel("2026-08-01 08:00:00", "M8.html", kEntregaEnviado));
  EXPECT_EQ(ReadBytes(pc + "/RESUMEN.TXT").find("X.html"), std::string::npos);
  EXPECT_EQ(Mostrados(Estados(LeerDiarios(entregas))), Mostrados(esperado));
  // The machine's own name, made fit for a folder.
  EXPECT_EQ(EquipoDelDiario("caja 2.oficina.local"), "CAJA_2");
  EXPECT_EQ(EquipoDelDiario(""), "EQUIPO");
}

// Two programs of one PC writing at once across months (the summary rebuilt meanwhile):
// every waiting attachment's line is read.
TEST(DiarioEntregas, WritersOfOnePcAcrossMonthsLoseNoLine) {
  TempDir dir;
  const std::string entregas = dir / "CORREO/ENTREGAS.TXT";
  constexpr int kPorProceso = 200;
  std::vector<pid_t> hijos;
  for (char quien : {'a', 'b'}) {
    const pid_t pid = fork();
    if (pid == 0) {
      bool ok = true;
      for (int i = 0; i < kPorProceso; ++i) {
        const std::string fecha = "2026-0" + std::to_string(1 + i / 40) + "-10 08:00:00";
        ok = AgregarAlDiarioDelEquipo(
                 entregas, LineaDel(fecha, quien + std::to_string(i) + ".html", kEntregaPendiente), "PC-A") &&
             ok;
      }
      _exit(ok ? 0 : 1);
    }
    hijos.push_back(pid);
  }
  for (pid_t pid : hijos) {
    int estado = 0;
    waitpid(pid, &estado, 0);
    EXPECT_TRUE(WIFEXITED(estado) && WEXITSTATUS(estado) == 0);
  }
  EXPECT_EQ(Estados(LeerDiarios(entregas)).size(), 2u * kPorProceso);
  EXPECT_EQ(ArchivosDelDiario(entregas).size(), 3u);  // the summary and two months
}

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
  std::filesystem::create_directories(dir / "CORREO/ENTREGAS/PC-C");
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
  // A summary with a cut inside a month: the bytes before it are not read.
  const std::string parte = LineaDiario(LineaDel("2026-09-03 10:00:00", "PARTE.html", kEntregaPendiente));
  WriteBytes(dir / "CORREO/ENTREGAS/PC-C/RESUMEN.TXT",
             "HASTA\t2026-09\t" + std::to_string(parte.size()) + "\r\n" +
                 LineaDiario(LineaDel("2026-09-03 10:00:00", "PARTE.html", kEntregaFallido)));
  WriteBytes(dir / "CORREO/ENTREGAS/PC-C/2026-09.TXT",
             parte + LineaDiario(LineaDel("2026-09-04 10:00:00", "TRAS.html", kEntregaPendiente)));
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
      {"PARTE.html", kEntregaFallido, "the bytes before a summary's cut are not read"},
      {"TRAS.html", kEntregaPendiente, "the bytes after it are"},
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(std::string(c.archivo) + ": " + c.por_que);
    const auto it = estados.find(c.archivo);
    EXPECT_EQ(it == estados.end() ? "" : it->second, c.estado);
  }
  EXPECT_EQ(estados.size(), 7u);
}

namespace {

// The bytes of PC `equipo`'s month files that a reader reads after the summary's cut.
long long SinResumir(const std::string& entregas, const std::string& equipo) {
  long long n = 0;
  for (const auto& t : TramosDelDiario(entregas))
    if (std::filesystem::path(t.ruta).parent_path().filename() == equipo &&
        std::filesystem::path(t.ruta).filename() != "RESUMEN.TXT")
      n += static_cast<long long>(std::filesystem::file_size(t.ruta)) - t.desde;
  return n;
}

}  // namespace

// tspost's writer: one folder per PC, one file per month in the journal's line format, and
// a summary that bounds what a reader reads without changing any state the list shows.
TEST(DiarioEntregas, WriterBoundsWhatIsReadAndLosesNothing) {
  TempDir dir;
  const std::string entregas = dir / "CORREO/ENTREGAS.TXT";
  const std::string pc = dir / "CORREO/ENTREGAS/PC-A";
  constexpr long long kLinea = 10000;  // some 10 KB a line: a summary every seven lines
  std::map<std::string, std::string> esperado;
  int lineas = 0;
  auto agregar = [&](std::string fecha, std::string archivo, std::string resultado,
                     const std::string& equipo = "PC-A") {
    LineaEntrega l = LineaDel(std::move(fecha), archivo, resultado);
    l.detalle = std::string(kLinea, 'x');
    ASSERT_TRUE(AgregarAlDiarioDelEquipo(entregas, l, equipo));
    esperado[archivo] = resultado;
    ++lineas;
  };
  auto relleno = [&](const std::string& equipo, const std::string& mes) {
    for (int i = 0; i < 7; ++i)
      agregar(mes + "-28 08:00:0" + std::to_string(i), equipo + mes + std::to_string(i) + ".html",
              kEntregaEnviado, equipo);
  };
  agregar("2026-01-10 08:00:00", "R.html", kEntregaPendiente);
  for (int mes = 1; mes <= 5; ++mes) {
    for (int i = 0; i < 4; ++i)
      agregar("2026-0" + std::to_string(mes) + "-1" + std::to_string(i) + " 08:00:00",
              "M" + std::to_string(mes) + std::to_string(i) + ".html",
              mes == 2 && i == 0 ? kEntregaFallido : kEntregaEnviado);
    if (mes == 3) agregar("2026-03-16 08:00:00", "R.html", kEntregaEnviado);
  }
  EXPECT_LT(SinResumir(entregas, "PC-A"), kDiarioSinResumir + kLinea + 200);
  EXPECT_EQ(Mostrados(Estados(LeerDiarios(entregas))), Mostrados(esperado));
  const std::string resumen = ReadBytes(pc + "/RESUMEN.TXT");
  EXPECT_EQ(resumen.rfind("HASTA\t2026-05\t", 0), 0u) << resumen.substr(0, 40);
  EXPECT_EQ(Estados(LeerDiario(resumen)),  // the sent ones left out
            (std::map<std::string, std::string>{{"M20.html", kEntregaFallido}}));
  EXPECT_EQ(LeerDiarios(entregas, true).size() - LeerDiario(resumen).size(), static_cast<size_t>(lineas));
  EXPECT_TRUE(std::filesystem::exists(pc + "/2026-01.TXT"));  // summarised, kept

  // A clock set back writes after the cut, where it is read.
  agregar("2026-01-20 08:00:00", "ATRAS.html", kEntregaPendiente);
  EXPECT_NE(ReadBytes(pc + "/2026-05.TXT").find("ATRAS.html"), std::string::npos);
  // After a line cut short by a writer that died, the next line is read whole.
  WriteBytes(pc + "/2026-05.TXT", ReadBytes(pc + "/2026-05.TXT") + "2026-05-30 08:00:00\tCORTA.ht");
  agregar("2026-05-30 08:00:01", "TRAS-CORTE.html", kEntregaPendiente);
  EXPECT_EQ(Mostrados(Estados(LeerDiarios(entregas))), Mostrados(esperado));

  // Another PC waited on X and this one sent it: the sent line stays in the summary while
  // it must override the other's, and goes once the other PC's summary let the wait go.
  const std::string otro = dir / "CORREO/ENTREGAS/PC-B";
  agregar("2026-05-20 08:00:00", "X.html", kEntregaPendiente, "PC-B");
  agregar("2026-05-21 08:00:00", "X.html", kEntregaEnviado);
  relleno("PC-A", "2026-06");
  EXPECT_NE(ReadBytes(pc + "/RESUMEN.TXT").find("X.html"), std::string::npos);
  EXPECT_EQ(Estados(LeerDiarios(entregas))["X.html"], kEntregaEnviado);
  relleno("PC-B", "2026-06");
  EXPECT_EQ(ReadBytes(otro + "/RESUMEN.TXT").find("X.html"), std::string::npos);
  relleno("PC-A", "2026-07");
  EXPECT_EQ(ReadBytes(pc + "/RESUMEN.TXT").find("X.html"), std::string::npos);
  EXPECT_EQ(Mostrados(Estados(LeerDiarios(entregas))), Mostrados(esperado));
  for (const char* equipo : {"PC-A", "PC-B"})
    EXPECT_LT(SinResumir(entregas, equipo), kDiarioSinResumir + kLinea + 200);
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
        LineaEntrega l = LineaDel(fecha, quien + std::to_string(i) + ".html", kEntregaPendiente);
        l.detalle = std::string(1000, quien);  // 400 KB in all: several summaries
        ok = AgregarAlDiarioDelEquipo(entregas, l, "PC-A") && ok;
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
  EXPECT_LT(SinResumir(entregas, "PC-A"), kDiarioSinResumir + 1200);
}

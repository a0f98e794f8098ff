// The SMB test bed itself: what the two PCs see of one share, and the behaviours of the
// share that the dispatch has to live with (docs/testing.md).
#include "support/recurso_compartido.h"

#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string.h>
#include <sys/file.h>
#include <unistd.h>

#include <functional>
#include <memory>

#include "support/lanzar.h"

namespace {

class RecursoCompartidoTest : public ::testing::Test {
 protected:
  // One bed for every case: starting Samba and two mounts is the slow part.
  static void SetUpTestSuite() { banco_ = std::make_unique<RecursoCompartido>(); }
  static void TearDownTestSuite() { banco_.reset(); }
  void SetUp() override { ASSERT_TRUE(banco_->Listo()) << banco_->Error(); }

  static std::unique_ptr<RecursoCompartido> banco_;
};

std::unique_ptr<RecursoCompartido> RecursoCompartidoTest::banco_;

// 0 when the call succeeded, else its errno.
int Resultado(int r) { return r < 0 ? errno : 0; }

TEST_F(RecursoCompartidoTest, WhatOnePcWritesTheOtherAndTheServerRead) {
  WriteBytes(banco_->A() + "/orden.txt", "OC 1234\r\n");
  EXPECT_EQ(ReadBytes(banco_->B() + "/orden.txt"), "OC 1234\r\n");
  EXPECT_EQ(ReadBytes(banco_->Servidor() + "/orden.txt"), "OC 1234\r\n");

  WriteBytes(banco_->Servidor() + "/del_servidor.txt", "x");
  EXPECT_EQ(ReadBytes(banco_->A() + "/del_servidor.txt"), "x");

  // Another Unix user on PC B: the share checks no Unix permissions.
  EXPECT_EQ(Esperar(Lanzar({"/bin/sh", "-c", "echo nadie > \"$0/de_nadie.txt\"", banco_->B()}, {}, true)), 0);
  EXPECT_EQ(ReadBytes(banco_->A() + "/de_nadie.txt"), "nadie\n");
}

TEST_F(RecursoCompartidoTest, FileOperationsBehaveAsThroughAnOfficeClient) {
  const std::string a = banco_->A(), b = banco_->B();
  WriteBytes(a + "/diario.txt", "1\n");
  struct Caso {
    const char* que;
    std::function<int()> hacer;
    int esperado;
  };
  const Caso casos[] = {
      {"hard link", [&] { return Resultado(link((a + "/diario.txt").c_str(), (a + "/enlace").c_str())); },
       EPERM},
      {"read-write append to an existing file",
       [&] {
         int fd = open((a + "/diario.txt").c_str(), O_RDWR | O_APPEND);
         if (fd < 0) return errno;
         int r = Resultado(static_cast<int>(write(fd, "2\n", 2)));
         close(fd);
         return r != 0 ? r : ReadBytes(b + "/diario.txt") == "1\n2\n" ? 0 : -1;
       },
       0},
      // A lock taken through A stops another holder on A and is not seen from B.
      {"flock held through A, tried again through A",
       [&] {
         int uno = open((a + "/bloqueo").c_str(), O_RDWR | O_CREAT, 0644);
         int dos = open((a + "/bloqueo").c_str(), O_RDWR);
         int r = flock(uno, LOCK_EX | LOCK_NB) != 0 ? -1 : Resultado(flock(dos, LOCK_EX | LOCK_NB));
         close(dos);
         close(uno);
         return r;
       },
       EWOULDBLOCK},
      {"flock held through A, tried through B",
       [&] {
         int uno = open((a + "/bloqueo").c_str(), O_RDWR | O_CREAT, 0644);
         int dos = open((b + "/bloqueo").c_str(), O_RDWR);
         int r = flock(uno, LOCK_EX | LOCK_NB) != 0 ? -1 : Resultado(flock(dos, LOCK_EX | LOCK_NB));
         close(dos);
         close(uno);
         return r;
       },
       0},
      // After about 4 s; then PC A's whole mount answers EIO for about 3 s more while the
      // client reconnects, so this case comes last and waits until A answers again.
      {"write-only append to an existing file",
       [&] {
         int fd = open((a + "/diario.txt").c_str(), O_WRONLY | O_APPEND);
         int r = Resultado(fd);
         if (fd >= 0) close(fd);
         while (access((a + "/diario.txt").c_str(), R_OK) != 0) usleep(50000);
         return r;
       },
       EIO},
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(c.que);
    const int r = c.hacer();
    EXPECT_EQ(r, c.esperado) << (r > 0 ? strerrorname_np(r) : "") << " instead of "
                             << (c.esperado ? strerrorname_np(c.esperado) : "success");
  }
}

}  // namespace

/* Runs one file operation and prints its outcome ("0" or the errno's name), for the shim's
 * test: prueba OP FILE MODE, MODE r, w or rw (how FILE is opened for the lock operations).
 * OP: link, linkat (FILE to FILE.enlace), flock-ex, flock-sh, setlk-wr, setlk-rd,
 * setlkw-wr, ofd-wr, ofdw-wr, lockf. */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/file.h>
#include <unistd.h>

static int Fcntl(int fd, int cmd, short tipo) {
  struct flock f = {.l_type = tipo, .l_whence = SEEK_SET};
  return fcntl(fd, cmd, &f);
}

int main(int argc, char** argv) {
  if (argc != 4) {
    fprintf(stderr, "uso: prueba OP ARCHIVO r|w|rw\n");
    return 2;
  }
  const char *op = argv[1], *archivo = argv[2], *modo = argv[3];
  char enlace[4096];
  snprintf(enlace, sizeof enlace, "%s.enlace", archivo);
  unlink(enlace);
  int r;
  if (strcmp(op, "link") == 0) {
    r = link(archivo, enlace);
  } else if (strcmp(op, "linkat") == 0) {
    r = linkat(AT_FDCWD, archivo, AT_FDCWD, enlace, 0);
  } else {
    int flags = strcmp(modo, "r") == 0 ? O_RDONLY : strcmp(modo, "w") == 0 ? O_WRONLY : O_RDWR;
    int fd = open(archivo, flags | O_CREAT, 0644);
    if (fd < 0) {
      perror(archivo);
      return 2;
    }
    if (strcmp(op, "flock-ex") == 0)
      r = flock(fd, LOCK_EX | LOCK_NB);
    else if (strcmp(op, "flock-sh") == 0)
      r = flock(fd, LOCK_SH | LOCK_NB);
    else if (strcmp(op, "setlk-wr") == 0)
      r = Fcntl(fd, F_SETLK, F_WRLCK);
    else if (strcmp(op, "setlk-rd") == 0)
      r = Fcntl(fd, F_SETLK, F_RDLCK);
    else if (strcmp(op, "setlkw-wr") == 0)
      r = Fcntl(fd, F_SETLKW, F_WRLCK);
    else if (strcmp(op, "ofd-wr") == 0)
      r = Fcntl(fd, F_OFD_SETLK, F_WRLCK);
    else if (strcmp(op, "ofdw-wr") == 0)
      r = Fcntl(fd, F_OFD_SETLKW, F_WRLCK);
    else if (strcmp(op, "lockf") == 0)
      r = lockf(fd, F_TLOCK, 0);
    else {
      fprintf(stderr, "operación desconocida: %s\n", op);
      return 2;
    }
  }
  printf("%s\n", r == 0 ? "0" : strerrorname_np(errno));
  return 0;
}

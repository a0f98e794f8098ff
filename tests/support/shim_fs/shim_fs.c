/* A file system that lacks what the program needs, simulated on the local disk: loaded with
 * LD_PRELOAD, it makes some calls fail as they fail on the file systems offices use.
 *
 *   OCMAIL_SHIM_SIN_LINK=1  link and linkat fail with EPERM (an SMB share through a
 *                           userspace client).
 *   OCMAIL_SHIM_NFS=1       NFSv4's lock rule: an exclusive lock (flock LOCK_EX, fcntl
 *                           F_WRLCK) on a descriptor not open for writing, or a shared one
 *                           (LOCK_SH, F_RDLCK) on a descriptor not open for reading, fails
 *                           with EBADF. Local disks refuse this only for fcntl, never flock.
 *   OCMAIL_SHIM_SIN_LOCK=1  every lock (flock, fcntl F_SETLK/F_SETLKW/F_OFD_SETLK/
 *                           F_OFD_SETLKW, lockf) fails with ENOLCK; unlocking still works.
 *   OCMAIL_SHIM_RUTA=DIR    only files under DIR are affected (default: every file).
 *
 * The variables are read at each call, so a test may change them in its own process. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <unistd.h>

#define EXPORTADA __attribute__((visibility("default")))

static int Activa(const char* variable) {
  const char* v = getenv(variable);
  return v && *v && strcmp(v, "0") != 0;
}

/* True when `ruta` (absolute) is under OCMAIL_SHIM_RUTA, or no such limit is set. */
static int BajoRuta(const char* ruta) {
  const char* raiz = getenv("OCMAIL_SHIM_RUTA");
  if (!raiz || !*raiz) return 1;
  if (!ruta) return 0;
  size_t n = strlen(raiz);
  while (n > 1 && raiz[n - 1] == '/') --n;
  return strncmp(ruta, raiz, n) == 0 && (ruta[n] == '/' || ruta[n] == '\0');
}

/* The absolute path of `ruta` taken relative to `dirfd`, in `sal`; NULL when unknown. */
static const char* RutaAbsoluta(int dirfd, const char* ruta, char* sal, size_t tam) {
  char base[PATH_MAX];
  if (ruta[0] == '/') return ruta;
  if (dirfd == AT_FDCWD) {
    if (!getcwd(base, sizeof base)) return NULL;
  } else {
    char enlace[64];
    snprintf(enlace, sizeof enlace, "/proc/self/fd/%d", dirfd);
    ssize_t n = readlink(enlace, base, sizeof base - 1);
    if (n < 0) return NULL;
    base[n] = '\0';
  }
  if ((size_t)snprintf(sal, tam, "%s/%s", base, ruta) >= tam) return NULL;
  return sal;
}

static int DescriptorBajoRuta(int fd) {
  const char* raiz = getenv("OCMAIL_SHIM_RUTA");
  if (!raiz || !*raiz) return 1;
  char enlace[64], ruta[PATH_MAX];
  snprintf(enlace, sizeof enlace, "/proc/self/fd/%d", fd);
  ssize_t n = readlink(enlace, ruta, sizeof ruta - 1);
  if (n < 0) return 0;
  ruta[n] = '\0';
  return BajoRuta(ruta);
}

typedef int (*FcntlFn)(int, int, ...);

static FcntlFn FcntlReal(void) {
  static FcntlFn real;
  if (!real) real = (FcntlFn)dlsym(RTLD_NEXT, "fcntl");
  return real;
}

/* The errno a lock of this kind on `fd` gets, 0 when the real call should decide.
 * `exclusivo`: 1 exclusive, 0 shared, -1 unlock. */
static int ErrorDeBloqueo(int fd, int exclusivo) {
  if (exclusivo < 0) return 0;
  int sinLock = Activa("OCMAIL_SHIM_SIN_LOCK"), nfs = Activa("OCMAIL_SHIM_NFS");
  if (!sinLock && !nfs) return 0;
  if (!DescriptorBajoRuta(fd)) return 0;
  if (sinLock) return ENOLCK;
  int modo = FcntlReal()(fd, F_GETFL);
  if (modo < 0) return 0;
  modo &= O_ACCMODE;
  if (exclusivo && modo == O_RDONLY) return EBADF;
  if (!exclusivo && modo == O_WRONLY) return EBADF;
  return 0;
}

EXPORTADA int flock(int fd, int operacion) {
  static int (*real)(int, int);
  if (!real) real = (int (*)(int, int))dlsym(RTLD_NEXT, "flock");
  int tipo = operacion & ~LOCK_NB;
  int e = ErrorDeBloqueo(fd, tipo == LOCK_EX ? 1 : tipo == LOCK_SH ? 0 : -1);
  if (e) {
    errno = e;
    return -1;
  }
  return real(fd, operacion);
}

static int Fcntl(FcntlFn real, int fd, int cmd, void* arg) {
  switch (cmd) {
    case F_SETLK:
    case F_SETLKW:
    case F_OFD_SETLK:
    case F_OFD_SETLKW: {
      const struct flock* f = (const struct flock*)arg;
      int e = f ? ErrorDeBloqueo(fd, f->l_type == F_WRLCK ? 1 : f->l_type == F_RDLCK ? 0 : -1) : 0;
      if (e) {
        errno = e;
        return -1;
      }
    }
  }
  return real(fd, cmd, arg);
}

/* fcntl's third argument is an int or a pointer; either passes through as a pointer. */
EXPORTADA int fcntl(int fd, int cmd, ...) {
  va_list ap;
  va_start(ap, cmd);
  void* arg = va_arg(ap, void*);
  va_end(ap);
  return Fcntl(FcntlReal(), fd, cmd, arg);
}

/* What programs built with 64-bit file offsets call. */
EXPORTADA int fcntl64(int fd, int cmd, ...) {
  static FcntlFn real;
  if (!real) real = (FcntlFn)dlsym(RTLD_NEXT, "fcntl64");
  va_list ap;
  va_start(ap, cmd);
  void* arg = va_arg(ap, void*);
  va_end(ap);
  return Fcntl(real ? real : FcntlReal(), fd, cmd, arg);
}

/* glibc's lockf reaches fcntl from inside the library, out of this file's reach. */
EXPORTADA int lockf(int fd, int cmd, off_t largo) {
  static int (*real)(int, int, off_t);
  if (!real) real = (int (*)(int, int, off_t))dlsym(RTLD_NEXT, "lockf");
  int e = (cmd == F_LOCK || cmd == F_TLOCK) ? ErrorDeBloqueo(fd, 1) : 0;
  if (e) {
    errno = e;
    return -1;
  }
  return real(fd, cmd, largo);
}

static int SinLink(int dirfd, const char* nueva) {
  if (!Activa("OCMAIL_SHIM_SIN_LINK")) return 0;
  char buf[PATH_MAX];
  return BajoRuta(RutaAbsoluta(dirfd, nueva, buf, sizeof buf));
}

EXPORTADA int link(const char* vieja, const char* nueva) {
  static int (*real)(const char*, const char*);
  if (!real) real = (int (*)(const char*, const char*))dlsym(RTLD_NEXT, "link");
  if (SinLink(AT_FDCWD, nueva)) {
    errno = EPERM;
    return -1;
  }
  return real(vieja, nueva);
}

EXPORTADA int linkat(int dirViejo, const char* vieja, int dirNuevo, const char* nueva, int flags) {
  static int (*real)(int, const char*, int, const char*, int);
  if (!real) real = (int (*)(int, const char*, int, const char*, int))dlsym(RTLD_NEXT, "linkat");
  if (SinLink(dirNuevo, nueva)) {
    errno = EPERM;
    return -1;
  }
  return real(dirViejo, vieja, dirNuevo, nueva, flags);
}

/* A stand-in ODBC driver for tests, loaded by unixODBC from a connection string
 * "DRIVER=/path/libodbc_sustituto.so;REGISTRO=/path/log;COLUMNAS=a,b,c;".
 *
 * It answers a statement from its text, the way SQL Server answers through FreeTDS:
 *   - containing RECHAZO_22001: SQL_ERROR, records 22001/8152 "String or binary data
 *     would be truncated." and 01000/3621 "The statement has been terminated.";
 *   - containing AVISO_01004: it ran (1 row), SQL_SUCCESS_WITH_INFO, record 01004/8152;
 *   - containing ESPERA_MS=<n>: it takes n milliseconds, as a statement a lock holds: with
 *     SQL_ATTR_ASYNC_ENABLE on it answers SQL_STILL_EXECUTING until then, and after
 *     SQLCancel SQL_ERROR with HY008; otherwise it sleeps;
 *   - a SELECT, when COLUMNAS is given: an empty result with those VARCHAR columns;
 *   - anything else: it ran, 1 row, no result columns.
 * REGISTRO names a file that gets one line per statement received (CR, LF and tab
 * written \r, \n, \t; bound values after tabs), so a test sees what reached the
 * "server".
 *
 * Only the functions unixODBC and the ado layer call are here; the driver manager
 * answers the rest as unsupported. Functions of this file never call each other's
 * exported names: inside the process those resolve to the driver manager's. */
#include <sql.h>
#include <sqlext.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <time.h>

#define EXPORTA __attribute__((visibility("default")))

enum { MAX_DIAG = 4, MAX_COL = 32, MAX_PARAM = 32, LARGO_TEXTO = 512 };

typedef struct {
  char estado[6];
  SQLINTEGER nativo;
  char mensaje[LARGO_TEXTO];
} Diag;

typedef struct {
  SQLSMALLINT tipo; /* SQL_HANDLE_ENV, DBC or STMT */
  Diag diag[MAX_DIAG];
  int ndiag;
} Cabecera;

typedef struct {
  Cabecera c;
} Entorno;

typedef struct {
  Cabecera c;
  char registro[LARGO_TEXTO];
  char columnas[MAX_COL][64];
  int ncolumnas;
} Conexion;

typedef struct {
  SQLSMALLINT tipoC;
  SQLPOINTER valor;
  SQLLEN largoBuffer;
  SQLLEN* indicador;
} Parametro;

typedef struct {
  Cabecera c;
  Conexion* cnn;
  int ncol; /* columns of the current result */
  SQLLEN filas;
  Parametro param[MAX_PARAM];
  int nparam;
  int asincrona;   /* SQL_ATTR_ASYNC_ENABLE */
  int enCurso;     /* a slow statement answered SQL_STILL_EXECUTING */
  int cancelada;   /* SQLCancel came while it ran */
  long long hasta; /* when it ends, in ms of CLOCK_MONOTONIC */
} Sentencia;

static const char* const kTruncado = "[FreeTDS][SQL Server]String or binary data would be truncated.";

static void Limpiar(void* h) { ((Cabecera*)h)->ndiag = 0; }

static void Agregar(void* h, const char* estado, SQLINTEGER nativo, const char* mensaje) {
  Cabecera* c = (Cabecera*)h;
  if (c->ndiag >= MAX_DIAG) return;
  Diag* d = &c->diag[c->ndiag++];
  snprintf(d->estado, sizeof d->estado, "%s", estado);
  d->nativo = nativo;
  snprintf(d->mensaje, sizeof d->mensaje, "%s", mensaje);
}

static size_t Largo(const SQLCHAR* texto, SQLINTEGER largo) {
  return largo == SQL_NTS ? strlen((const char*)texto) : (size_t)largo;
}

/* Copies a text into an ODBC output buffer; SQL_SUCCESS_WITH_INFO when cut. */
static SQLRETURN Copiar(const char* texto, SQLPOINTER destino, SQLLEN capacidad, SQLSMALLINT* largo) {
  size_t n = strlen(texto);
  if (largo) *largo = (SQLSMALLINT)n;
  if (destino && capacidad > 0) {
    size_t cabe = (size_t)capacidad - 1 < n ? (size_t)capacidad - 1 : n;
    memcpy(destino, texto, cabe);
    ((char*)destino)[cabe] = 0;
    if (cabe < n) return SQL_SUCCESS_WITH_INFO;
  }
  return SQL_SUCCESS;
}

/* The value of a keyword of the connection string, without regard to case. */
static int Clave(const char* cadena, const char* clave, char* valor, size_t capacidad) {
  size_t lc = strlen(clave);
  const char* p = cadena;
  while (*p) {
    while (*p == ' ' || *p == ';') ++p;
    const char* igual = strchr(p, '=');
    if (!igual) return 0;
    const char* fin = strchr(igual, ';');
    if (!fin) fin = igual + strlen(igual);
    if ((size_t)(igual - p) == lc && strncasecmp(p, clave, lc) == 0) {
      size_t n = (size_t)(fin - igual - 1);
      if (n >= capacidad) n = capacidad - 1;
      memcpy(valor, igual + 1, n);
      valor[n] = 0;
      return 1;
    }
    p = fin;
  }
  return 0;
}

static void Escribir(FILE* f, const char* s, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if (s[i] == '\r')
      fputs("\\r", f);
    else if (s[i] == '\n')
      fputs("\\n", f);
    else if (s[i] == '\t')
      fputs("\\t", f);
    else
      fputc(s[i], f);
  }
}

static void Registrar(Sentencia* s, const char* texto, size_t n) {
  if (!s->cnn->registro[0]) return;
  FILE* f = fopen(s->cnn->registro, "a");
  if (!f) return;
  Escribir(f, texto, n);
  for (int i = 0; i < s->nparam; ++i) {
    const Parametro* p = &s->param[i];
    fputc('\t', f);
    if (!p->valor || (p->indicador && *p->indicador == SQL_NULL_DATA)) {
      fputs("NULL", f);
    } else if (p->tipoC == SQL_C_SBIGINT) {
      fprintf(f, "%lld", (long long)*(SQLBIGINT*)p->valor);
    } else if (p->tipoC == SQL_C_DOUBLE) {
      fprintf(f, "%g", *(double*)p->valor);
    } else {
      SQLLEN largo = p->indicador ? *p->indicador : p->largoBuffer;
      if (largo == SQL_NTS) largo = (SQLLEN)strlen((const char*)p->valor);
      Escribir(f, (const char*)p->valor, (size_t)largo);
    }
  }
  fputc('\n', f);
  fclose(f);
}

static int Contiene(const char* texto, size_t n, const char* buscado) {
  size_t m = strlen(buscado);
  for (size_t i = 0; i + m <= n; ++i)
    if (strncasecmp(texto + i, buscado, m) == 0) return 1;
  return 0;
}

static int EsSelect(const char* texto, size_t n) {
  size_t i = 0;
  while (i < n && (texto[i] == ' ' || texto[i] == '\r' || texto[i] == '\n' || texto[i] == '\t')) ++i;
  return n - i >= 6 && strncasecmp(texto + i, "SELECT", 6) == 0;
}

static long long AhoraMs(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (long long)t.tv_sec * 1000 + t.tv_nsec / 1000000;
}

/* The n of ESPERA_MS=n in the text, or 0. */
static long EsperaMs(const char* texto, size_t n) {
  const char* clave = "ESPERA_MS=";
  size_t m = strlen(clave);
  for (size_t i = 0; i + m < n; ++i)
    if (strncmp(texto + i, clave, m) == 0) return atol(texto + i + m);
  return 0;
}

static SQLRETURN Ejecutar(Sentencia* s, const char* texto, size_t n) {
  Limpiar(s);
  const long espera = EsperaMs(texto, n);
  if (espera > 0 && s->asincrona) {
    if (!s->enCurso) {
      s->enCurso = 1;
      s->cancelada = 0;
      s->hasta = AhoraMs() + espera;
      return SQL_STILL_EXECUTING;
    }
    if (s->cancelada) {
      s->enCurso = s->cancelada = 0;
      Agregar(s, "HY008", 0, "[FreeTDS][SQL Server]Operation canceled");
      return SQL_ERROR;
    }
    if (AhoraMs() < s->hasta) return SQL_STILL_EXECUTING;
    s->enCurso = 0;
  } else if (espera > 0) {
    struct timespec t = {espera / 1000, (espera % 1000) * 1000000L};
    nanosleep(&t, NULL);
  }
  s->ncol = 0;
  s->filas = -1;
  Registrar(s, texto, n);
  if (Contiene(texto, n, "RECHAZO_22001")) {
    Agregar(s, "22001", 8152, kTruncado);
    Agregar(s, "01000", 3621, "[FreeTDS][SQL Server]The statement has been terminated.");
    return SQL_ERROR;
  }
  if (EsSelect(texto, n) && s->cnn->ncolumnas > 0) {
    s->ncol = s->cnn->ncolumnas;
    return SQL_SUCCESS;
  }
  s->filas = 1;
  if (Contiene(texto, n, "AVISO_01004")) {
    Agregar(s, "01004", 8152, kTruncado);
    return SQL_SUCCESS_WITH_INFO;
  }
  return SQL_SUCCESS;
}

/* ---- Handles ---- */

EXPORTA SQLRETURN SQL_API SQLAllocHandle(SQLSMALLINT tipo, SQLHANDLE padre, SQLHANDLE* salida) {
  Cabecera* h = NULL;
  switch (tipo) {
    case SQL_HANDLE_ENV: h = calloc(1, sizeof(Entorno)); break;
    case SQL_HANDLE_DBC: h = calloc(1, sizeof(Conexion)); break;
    case SQL_HANDLE_STMT: {
      Sentencia* s = calloc(1, sizeof(Sentencia));
      if (s) s->cnn = (Conexion*)padre;
      h = s ? &s->c : NULL;
      break;
    }
    default: return SQL_ERROR;
  }
  if (!h) return SQL_ERROR;
  h->tipo = tipo;
  *salida = h;
  return SQL_SUCCESS;
}

EXPORTA SQLRETURN SQL_API SQLFreeHandle(SQLSMALLINT tipo, SQLHANDLE h) {
  (void)tipo;
  free(h);
  return SQL_SUCCESS;
}

/* ---- Attributes and information ---- */

EXPORTA SQLRETURN SQL_API SQLSetEnvAttr(SQLHENV h, SQLINTEGER atributo, SQLPOINTER valor, SQLINTEGER largo) {
  (void)h, (void)atributo, (void)valor, (void)largo;
  return SQL_SUCCESS;
}

EXPORTA SQLRETURN SQL_API SQLSetConnectAttr(SQLHDBC h, SQLINTEGER atributo, SQLPOINTER valor,
                                            SQLINTEGER largo) {
  (void)atributo, (void)valor, (void)largo;
  Limpiar(h);
  return SQL_SUCCESS;
}

EXPORTA SQLRETURN SQL_API SQLSetStmtAttr(SQLHSTMT h, SQLINTEGER atributo, SQLPOINTER valor,
                                         SQLINTEGER largo) {
  (void)largo;
  Limpiar(h);
  if (atributo == SQL_ATTR_ASYNC_ENABLE) ((Sentencia*)h)->asincrona = (SQLULEN)valor == SQL_ASYNC_ENABLE_ON;
  return SQL_SUCCESS;
}

EXPORTA SQLRETURN SQL_API SQLCancel(SQLHSTMT h) {
  Sentencia* s = (Sentencia*)h;
  if (s->enCurso) s->cancelada = 1;
  return SQL_SUCCESS;
}

/* ---- Connection ---- */

EXPORTA SQLRETURN SQL_API SQLDriverConnect(SQLHDBC h, SQLHWND ventana, SQLCHAR* entrada,
                                           SQLSMALLINT largoEntrada, SQLCHAR* salida, SQLSMALLINT capacidad,
                                           SQLSMALLINT* largoSalida, SQLUSMALLINT completar) {
  (void)ventana, (void)completar;
  Conexion* c = (Conexion*)h;
  Limpiar(c);
  size_t n = Largo(entrada, largoEntrada);
  char* cadena = malloc(n + 1);
  if (!cadena) return SQL_ERROR;
  memcpy(cadena, entrada, n);
  cadena[n] = 0;
  if (!Clave(cadena, "REGISTRO", c->registro, sizeof c->registro)) c->registro[0] = 0;
  char columnas[MAX_COL * 64];
  c->ncolumnas = 0;
  if (Clave(cadena, "COLUMNAS", columnas, sizeof columnas)) {
    for (char* t = strtok(columnas, ","); t && c->ncolumnas < MAX_COL; t = strtok(NULL, ","))
      snprintf(c->columnas[c->ncolumnas++], sizeof c->columnas[0], "%s", t);
  }
  SQLRETURN rc = Copiar(cadena, salida, capacidad, largoSalida);
  free(cadena);
  return rc;
}

EXPORTA SQLRETURN SQL_API SQLDisconnect(SQLHDBC h) {
  Limpiar(h);
  return SQL_SUCCESS;
}

/* ---- Statements ---- */

EXPORTA SQLRETURN SQL_API SQLExecDirect(SQLHSTMT h, SQLCHAR* texto, SQLINTEGER largo) {
  return Ejecutar((Sentencia*)h, (const char*)texto, Largo(texto, largo));
}

EXPORTA SQLRETURN SQL_API SQLBindParameter(SQLHSTMT h, SQLUSMALLINT numero, SQLSMALLINT sentido,
                                           SQLSMALLINT tipoC, SQLSMALLINT tipoSql, SQLULEN tamano,
                                           SQLSMALLINT decimales, SQLPOINTER valor, SQLLEN capacidad,
                                           SQLLEN* indicador) {
  (void)sentido, (void)tipoSql, (void)tamano, (void)decimales;
  Sentencia* s = (Sentencia*)h;
  Limpiar(s);
  if (numero < 1 || numero > MAX_PARAM) return SQL_ERROR;
  Parametro* p = &s->param[numero - 1];
  p->tipoC = tipoC;
  p->valor = valor;
  p->largoBuffer = capacidad;
  p->indicador = indicador;
  if (numero > s->nparam) s->nparam = numero;
  return SQL_SUCCESS;
}

EXPORTA SQLRETURN SQL_API SQLNumResultCols(SQLHSTMT h, SQLSMALLINT* n) {
  *n = (SQLSMALLINT)((Sentencia*)h)->ncol;
  return SQL_SUCCESS;
}

EXPORTA SQLRETURN SQL_API SQLRowCount(SQLHSTMT h, SQLLEN* n) {
  *n = ((Sentencia*)h)->filas;
  return SQL_SUCCESS;
}

EXPORTA SQLRETURN SQL_API SQLMoreResults(SQLHSTMT h) {
  ((Sentencia*)h)->ncol = 0;
  return SQL_NO_DATA;
}

EXPORTA SQLRETURN SQL_API SQLDescribeCol(SQLHSTMT h, SQLUSMALLINT i, SQLCHAR* nombre, SQLSMALLINT capacidad,
                                         SQLSMALLINT* largo, SQLSMALLINT* tipo, SQLULEN* tamano,
                                         SQLSMALLINT* decimales, SQLSMALLINT* nulos) {
  Sentencia* s = (Sentencia*)h;
  if (i < 1 || i > s->ncol) return SQL_ERROR;
  if (tipo) *tipo = SQL_VARCHAR;
  if (tamano) *tamano = 255;
  if (decimales) *decimales = 0;
  if (nulos) *nulos = SQL_NULLABLE;
  return Copiar(s->cnn->columnas[i - 1], nombre, capacidad, largo);
}

EXPORTA SQLRETURN SQL_API SQLColAttribute(SQLHSTMT h, SQLUSMALLINT i, SQLUSMALLINT campo, SQLPOINTER texto,
                                          SQLSMALLINT capacidad, SQLSMALLINT* largo, SQLLEN* numero) {
  Sentencia* s = (Sentencia*)h;
  if (i < 1 || i > s->ncol) return SQL_ERROR;
  switch (campo) {
    case SQL_DESC_TYPE_NAME: return Copiar("varchar", texto, capacidad, largo);
    case SQL_DESC_NAME:
    case SQL_DESC_BASE_COLUMN_NAME: return Copiar(s->cnn->columnas[i - 1], texto, capacidad, largo);
    case SQL_DESC_BASE_TABLE_NAME: return Copiar("", texto, capacidad, largo);
    default:
      if (numero) *numero = 0;
      return SQL_SUCCESS;
  }
}

EXPORTA SQLRETURN SQL_API SQLFetch(SQLHSTMT h) {
  (void)h;
  return SQL_NO_DATA; /* results never hold rows */
}

/* ---- Diagnostics ---- */

EXPORTA SQLRETURN SQL_API SQLGetDiagRec(SQLSMALLINT tipo, SQLHANDLE h, SQLSMALLINT registro, SQLCHAR* estado,
                                        SQLINTEGER* nativo, SQLCHAR* mensaje, SQLSMALLINT capacidad,
                                        SQLSMALLINT* largo) {
  (void)tipo;
  Cabecera* c = (Cabecera*)h;
  if (registro < 1) return SQL_ERROR;
  if (registro > c->ndiag) return SQL_NO_DATA;
  const Diag* d = &c->diag[registro - 1];
  if (estado) memcpy(estado, d->estado, 6);
  if (nativo) *nativo = d->nativo;
  return Copiar(d->mensaje, mensaje, capacidad, largo);
}

/* unixODBC reads the records with SQLGetDiagRec, but only from a driver that also has this. */
EXPORTA SQLRETURN SQL_API SQLGetDiagField(SQLSMALLINT tipo, SQLHANDLE h, SQLSMALLINT registro,
                                          SQLSMALLINT campo, SQLPOINTER valor, SQLSMALLINT capacidad,
                                          SQLSMALLINT* largo) {
  (void)tipo;
  Cabecera* c = (Cabecera*)h;
  if (registro == 0 && campo == SQL_DIAG_NUMBER) {
    *(SQLINTEGER*)valor = c->ndiag;
    return SQL_SUCCESS;
  }
  if (registro < 1) return SQL_ERROR;
  if (registro > c->ndiag) return SQL_NO_DATA;
  const Diag* d = &c->diag[registro - 1];
  switch (campo) {
    case SQL_DIAG_SQLSTATE: return Copiar(d->estado, valor, capacidad, largo);
    case SQL_DIAG_NATIVE: *(SQLINTEGER*)valor = d->nativo; return SQL_SUCCESS;
    case SQL_DIAG_MESSAGE_TEXT: return Copiar(d->mensaje, valor, capacidad, largo);
    default: return SQL_ERROR;
  }
}

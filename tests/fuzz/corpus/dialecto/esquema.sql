-- Statistics database QZ_ESTADISTICAS (SQLite), created beside the main database as
-- "QZ_ESTADISTICAS.db". It keeps the suite-wide settings written by the programs
-- (the query time-out "TimeOut" among them).

CREATE TABLE TA_CONFIGURACION (
  Grupo            VARCHAR(50)  COLLATE NOCASE NOT NULL DEFAULT '',
  Clave            VARCHAR(100) COLLATE NOCASE NOT NULL,
  Valor            VARCHAR(255) COLLATE NOCASE,
  ValorAux         VARCHAR(255) COLLATE NOCASE,
  PoliticaNegocio  BIT NOT NULL DEFAULT 0,
  PRIMARY KEY (Clave)
);

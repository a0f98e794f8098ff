-- Embedded database of ocmail (SQLite). Written for SQLite directly; it does not go
-- through the T-SQL rewrite.
--
-- Conventions
--   * Text columns are COLLATE NOCASE. The program replaces SQLite's NOCASE on its
--     connections with the server's comparison: every letter of Windows-1252 without
--     regard to case, accents kept, trailing blanks ignored ('juan ' = 'JUAN', as the
--     task lookup needs). Another SQLite tool sees its own NOCASE (ASCII only, trailing
--     blanks counted).
--   * Declared types are the ones the ADO layer maps: VARCHAR(n), CHAR(n), INTEGER,
--     SMALLINT, BIT, DATETIME, NUMERIC(18,4), MONEY, FLOAT.
--   * Dates are ISO text 'yyyy-mm-dd hh:mm:ss'.
--   * Document numbers (IdComprobante) are 13 characters "PPPPNNNNNNNNL": point of sale
--     (4 digits), number (8 digits), letter ("000100000123X").
--   * "V_" and "VT_" objects are views, except vt_proveedores, VT_CLIENTES and
--     V_MV_FALTANTES, which the suite's programs write to or treat as tables.
--   * "SS_" views are the confidentiality synonyms used for non-administrators.

PRAGMA foreign_keys = ON;

-- ---------------------------------------------------------------- configuration
CREATE TABLE TA_CONFIGURACION (
  Grupo            VARCHAR(50)  COLLATE NOCASE NOT NULL DEFAULT '',
  Clave            VARCHAR(100) COLLATE NOCASE NOT NULL,
  Valor            VARCHAR(255) COLLATE NOCASE,
  ValorAux         VARCHAR(255) COLLATE NOCASE,
  PoliticaNegocio  BIT NOT NULL DEFAULT 0,
  PRIMARY KEY (Clave)
);

-- ---------------------------------------------------------------- users, menu, tasks
-- Nombre is the last column so that a lookup generated from the table's own fields
-- (reverse field order) shows it first.
CREATE TABLE ta_usuarios (
  verproforma      BIT NOT NULL DEFAULT 0,
  UNegocio         CHAR(4)      COLLATE NOCASE,
  Mail             VARCHAR(100) COLLATE NOCASE,
  Administrador    SMALLINT NOT NULL DEFAULT 0,
  Sector           VARCHAR(50)  COLLATE NOCASE,
  NombreCompleto   VARCHAR(100) COLLATE NOCASE,
  Nombre           VARCHAR(50)  COLLATE NOCASE NOT NULL,
  PRIMARY KEY (Nombre)
);

CREATE TABLE TA_MENU (
  Clave            VARCHAR(50)  COLLATE NOCASE NOT NULL,
  Nombre           VARCHAR(100) COLLATE NOCASE NOT NULL,
  Proceso          VARCHAR(100) COLLATE NOCASE,
  ClavePadre       VARCHAR(50)  COLLATE NOCASE,
  Orden            SMALLINT NOT NULL DEFAULT 0,
  PRIMARY KEY (Clave)
);

CREATE TABLE TA_TAREAS (
  USUARIO          VARCHAR(50)  COLLATE NOCASE NOT NULL,
  TAREA            VARCHAR(50)  COLLATE NOCASE NOT NULL,
  PRIMARY KEY (USUARIO, TAREA),
  FOREIGN KEY (TAREA) REFERENCES TA_MENU (Clave)
);

-- Task catalogue as the lookups see it.
CREATE VIEW V_TA_TAREAS AS
  SELECT m.Nombre AS Descripcion, m.Clave AS IdTarea, m.Proceso AS Proceso FROM TA_MENU m;

-- Usage log: one row per run.
CREATE TABLE Control_Acceso (
  id               INTEGER PRIMARY KEY AUTOINCREMENT,
  Maquina          VARCHAR(50)  COLLATE NOCASE,
  Usuario          VARCHAR(50)  COLLATE NOCASE,
  Formulario       VARCHAR(50)  COLLATE NOCASE,
  Tarea            VARCHAR(100) COLLATE NOCASE,
  Ingreso          DATETIME,
  NombreUsuario    VARCHAR(50)  COLLATE NOCASE,
  EGRESO           DATETIME
);

-- Failed scripts.
CREATE TABLE AUX_ERR (
  Id               INTEGER PRIMARY KEY AUTOINCREMENT,
  Proceso          VARCHAR(50)  COLLATE NOCASE,
  Fecha            DATETIME,
  Error            INTEGER,
  Descripcion      VARCHAR(250) COLLATE NOCASE,
  SQL              VARCHAR(8000) COLLATE NOCASE,
  pc               VARCHAR(50)  COLLATE NOCASE,
  Usuario          VARCHAR(50)  COLLATE NOCASE
);

-- Report definitions: NOMBRE is a report name ("OC-X") or "machine|user|name".
CREATE TABLE TA_REPORTES (
  NOMBRE           VARCHAR(150) COLLATE NOCASE NOT NULL,
  Descripcion      VARCHAR(100) COLLATE NOCASE,
  Archivo          VARCHAR(255) COLLATE NOCASE,
  Archivo2         VARCHAR(255) COLLATE NOCASE,
  Archivo3         VARCHAR(255) COLLATE NOCASE,
  Archivo4         VARCHAR(255) COLLATE NOCASE,
  PRIMARY KEY (NOMBRE)
);

-- ---------------------------------------------------------------- business units, document types
CREATE TABLE TA_UNIDADNEGOCIO (
  Codigo           CHAR(4)      COLLATE NOCASE NOT NULL,   -- right-aligned: "   1"
  Descripcion      VARCHAR(100) COLLATE NOCASE,
  PDV              CHAR(4)      COLLATE NOCASE,            -- point of sale "0001"
  usaefc           BIT NOT NULL DEFAULT 0,
  ruta_reporte     VARCHAR(255) COLLATE NOCASE,
  PRIMARY KEY (Codigo)
);
CREATE VIEW V_TA_UNIDADNEGOCIO AS
  SELECT u.Codigo, u.Descripcion, u.PDV, u.usaefc, u.ruta_reporte FROM TA_UNIDADNEGOCIO u;

CREATE TABLE TA_CPTE (
  Codigo           VARCHAR(6)   COLLATE NOCASE NOT NULL,
  Descripcion      VARCHAR(100) COLLATE NOCASE,
  SISTEMA          VARCHAR(20)  COLLATE NOCASE,            -- "Compras", "Ventas", ...
  PRIMARY KEY (Codigo)
);
CREATE VIEW V_TA_CPTE AS
  SELECT t.Codigo, t.Descripcion, t.SISTEMA FROM TA_CPTE t;

-- ---------------------------------------------------------------- suppliers, customers, contacts
-- No column of vt_proveedores may be called Usuario or Fecha: the pending-order filters
-- name those columns without a table.
CREATE TABLE vt_proveedores (
  Codigo           VARCHAR(20)  COLLATE NOCASE NOT NULL,
  Razon_Social     VARCHAR(100) COLLATE NOCASE NOT NULL,
  Calle            VARCHAR(100) COLLATE NOCASE,
  Numero           VARCHAR(10)  COLLATE NOCASE,
  Piso             VARCHAR(10)  COLLATE NOCASE,
  Localidad        VARCHAR(60)  COLLATE NOCASE,
  CPostal          VARCHAR(10)  COLLATE NOCASE,
  Provincia        VARCHAR(60)  COLLATE NOCASE,
  Telefono         VARCHAR(50)  COLLATE NOCASE,
  Mail             VARCHAR(100) COLLATE NOCASE,
  CUIT             VARCHAR(13)  COLLATE NOCASE,
  Contacto         VARCHAR(100) COLLATE NOCASE,
  Dada_De_Baja     BIT NOT NULL DEFAULT 0,
  PRIMARY KEY (Codigo)
);
CREATE INDEX IX_vt_proveedores_razon ON vt_proveedores (Razon_Social);

CREATE TABLE VT_CLIENTES (
  Codigo           VARCHAR(20)  COLLATE NOCASE NOT NULL,
  Razon_Social     VARCHAR(100) COLLATE NOCASE NOT NULL,
  Contacto         VARCHAR(100) COLLATE NOCASE,
  Calle            VARCHAR(100) COLLATE NOCASE,
  Numero           VARCHAR(10)  COLLATE NOCASE,
  Localidad        VARCHAR(60)  COLLATE NOCASE,
  Telefono         VARCHAR(50)  COLLATE NOCASE,
  Mail             VARCHAR(100) COLLATE NOCASE,
  Dada_De_Baja     BIT NOT NULL DEFAULT 0,
  PRIMARY KEY (Codigo)
);

CREATE TABLE MA_CONTACTOS (
  IdContacto       INTEGER PRIMARY KEY AUTOINCREMENT,
  Nombre_y_Apellido VARCHAR(100) COLLATE NOCASE NOT NULL,
  Domicilio        VARCHAR(100) COLLATE NOCASE,
  Localidad        VARCHAR(60)  COLLATE NOCASE,
  Telefono         VARCHAR(50)  COLLATE NOCASE,
  Mail             VARCHAR(100) COLLATE NOCASE
);

CREATE TABLE TA_VENDEDORES (
  IdVendedor       VARCHAR(10)  COLLATE NOCASE NOT NULL,
  Nombre           VARCHAR(100) COLLATE NOCASE NOT NULL,
  PRIMARY KEY (IdVendedor)
);
CREATE VIEW V_TA_VENDEDORES AS SELECT v.Nombre, v.IdVendedor FROM TA_VENDEDORES v;

CREATE TABLE TA_TECNICOS (
  IdTecnico        VARCHAR(10)  COLLATE NOCASE NOT NULL,
  Nombre           VARCHAR(100) COLLATE NOCASE NOT NULL,
  PRIMARY KEY (IdTecnico)
);
CREATE VIEW V_TA_TECNICOS AS SELECT t.Nombre, t.IdTecnico FROM TA_TECNICOS t;

CREATE TABLE MA_MANTENIMIENTOS (
  Codigo           VARCHAR(10)  COLLATE NOCASE NOT NULL,
  Descripcion      VARCHAR(100) COLLATE NOCASE NOT NULL,
  PRIMARY KEY (Codigo)
);
CREATE VIEW V_MA_MANTENIMIENTOS AS SELECT m.Descripcion, m.Codigo FROM MA_MANTENIMIENTOS m;

-- ---------------------------------------------------------------- articles, families, stock
CREATE TABLE TA_FAMILIAS (
  IdFamilia        VARCHAR(10)  COLLATE NOCASE NOT NULL,
  Descripcion      VARCHAR(100) COLLATE NOCASE NOT NULL,
  PRIMARY KEY (IdFamilia)
);
CREATE VIEW V_TA_FAMILIAS AS SELECT f.IdFamilia, f.Descripcion FROM TA_FAMILIAS f;

CREATE TABLE MA_ARTICULOS (
  IdArticulo       VARCHAR(25)  COLLATE NOCASE NOT NULL,
  Descripcion      VARCHAR(100) COLLATE NOCASE NOT NULL,
  IdFamilia        VARCHAR(10)  COLLATE NOCASE,
  Unidad           VARCHAR(10)  COLLATE NOCASE,
  Precio1          MONEY NOT NULL DEFAULT 0,
  Precio2          MONEY NOT NULL DEFAULT 0,
  PuntoPedido      NUMERIC(18,4) NOT NULL DEFAULT 0,
  Stock            NUMERIC(18,4) NOT NULL DEFAULT 0,
  Suspendido       BIT NOT NULL DEFAULT 0,
  PRIMARY KEY (IdArticulo),
  FOREIGN KEY (IdFamilia) REFERENCES TA_FAMILIAS (IdFamilia)
);
CREATE VIEW V_MA_ARTICULOS AS
  SELECT a.Descripcion, a.IdArticulo, a.IdFamilia, a.Unidad, a.Precio1, a.Precio2,
         a.PuntoPedido, a.Stock, a.Suspendido
  FROM MA_ARTICULOS a;
CREATE VIEW VT_MA_ARTICULOS AS
  SELECT a.Descripcion, a.IdArticulo, a.IdFamilia, a.Unidad, a.Precio1, a.Precio2,
         a.PuntoPedido, a.Stock, a.Suspendido, f.Descripcion AS Familia
  FROM MA_ARTICULOS a LEFT JOIN TA_FAMILIAS f ON f.IdFamilia = a.IdFamilia;

-- Stock shortages reported from the article lookup (written as a table).
CREATE TABLE V_MV_FALTANTES (
  Id               INTEGER PRIMARY KEY AUTOINCREMENT,
  FechaHora        DATETIME,
  IdArticulo       VARCHAR(25)  COLLATE NOCASE,
  Descripcion      VARCHAR(100) COLLATE NOCASE,
  Usuario          VARCHAR(50)  COLLATE NOCASE
);

CREATE TABLE TA_DEPOSITO (
  IdDeposito       VARCHAR(10)  COLLATE NOCASE NOT NULL,
  Descripcion      VARCHAR(100) COLLATE NOCASE NOT NULL,
  UnidadNegocio    CHAR(4)      COLLATE NOCASE,
  Confidencial     BIT NOT NULL DEFAULT 0,
  PRIMARY KEY (IdDeposito)
);
CREATE VIEW V_TA_DEPOSITO AS
  SELECT d.Descripcion, d.IdDeposito, d.UnidadNegocio, d.Confidencial FROM TA_DEPOSITO d;

CREATE TABLE TA_CAJAS (
  IdCaja           VARCHAR(10)  COLLATE NOCASE NOT NULL,
  Descripcion      VARCHAR(100) COLLATE NOCASE NOT NULL,
  UnidadNegocio    CHAR(4)      COLLATE NOCASE,
  Confidencial     BIT NOT NULL DEFAULT 0,
  PRIMARY KEY (IdCaja)
);
CREATE VIEW V_TA_CAJAS AS
  SELECT c.Descripcion, c.IdCaja, c.UnidadNegocio, c.Confidencial FROM TA_CAJAS c;

CREATE TABLE MA_POSICIONES (
  IdPosicion       VARCHAR(20)  COLLATE NOCASE NOT NULL,
  Descripcion      VARCHAR(100) COLLATE NOCASE NOT NULL,
  PRIMARY KEY (IdPosicion)
);

-- ---------------------------------------------------------------- accounting
CREATE TABLE MA_CUENTAS (
  Codigo           VARCHAR(20)  COLLATE NOCASE NOT NULL,
  Descripcion      VARCHAR(100) COLLATE NOCASE NOT NULL,
  Imputable        BIT NOT NULL DEFAULT 1,
  Confidencial     BIT NOT NULL DEFAULT 0,
  PRIMARY KEY (Codigo)
);

CREATE TABLE TA_CCOSTO (
  Codigo           VARCHAR(20)  COLLATE NOCASE NOT NULL,
  Descripcion      VARCHAR(100) COLLATE NOCASE NOT NULL,
  PRIMARY KEY (Codigo)
);

CREATE TABLE MV_ASIENTOS (
  IdAsiento        INTEGER NOT NULL,
  Renglon          SMALLINT NOT NULL,
  Fecha            DATETIME NOT NULL,
  Cuenta           VARCHAR(20)  COLLATE NOCASE NOT NULL,
  Detalle          VARCHAR(100) COLLATE NOCASE,
  Debe             MONEY NOT NULL DEFAULT 0,
  Haber            MONEY NOT NULL DEFAULT 0,
  Confidencial     BIT NOT NULL DEFAULT 0,
  PRIMARY KEY (IdAsiento, Renglon),
  FOREIGN KEY (Cuenta) REFERENCES MA_CUENTAS (Codigo)
);

CREATE TABLE AC_CUENTASDIARIO (
  Codigo           VARCHAR(20)  COLLATE NOCASE NOT NULL,
  Descripcion      VARCHAR(100) COLLATE NOCASE NOT NULL,
  Confidencial     BIT NOT NULL DEFAULT 0,
  PRIMARY KEY (Codigo)
);

CREATE TABLE AC_CUENTASDIARIO_CCOSTO (
  Codigo           VARCHAR(20)  COLLATE NOCASE NOT NULL,
  CCosto           VARCHAR(20)  COLLATE NOCASE NOT NULL,
  Descripcion      VARCHAR(100) COLLATE NOCASE,
  Confidencial     BIT NOT NULL DEFAULT 0,
  PRIMARY KEY (Codigo, CCosto)
);

-- Confidentiality synonyms: what a non-administrator may see.
CREATE VIEW SS_MA_CUENTAS AS
  SELECT * FROM MA_CUENTAS WHERE Confidencial = 0;
CREATE VIEW SS_V_TA_DEPOSITO AS
  SELECT * FROM V_TA_DEPOSITO WHERE Confidencial = 0;
CREATE VIEW SS_MV_ASIENTOS AS
  SELECT * FROM MV_ASIENTOS WHERE Confidencial = 0;
CREATE VIEW SS_V_TA_FAMILIAS AS
  SELECT * FROM V_TA_FAMILIAS;
CREATE VIEW SS_V_TA_CAJAS AS
  SELECT * FROM V_TA_CAJAS WHERE Confidencial = 0;
CREATE VIEW SS_AC_CUENTASDIARIO AS
  SELECT * FROM AC_CUENTASDIARIO WHERE Confidencial = 0;
CREATE VIEW SS_AC_CUENTAS_DIARIO_CCOSTO AS
  SELECT * FROM AC_CUENTASDIARIO_CCOSTO WHERE Confidencial = 0;

-- ---------------------------------------------------------------- documents
-- Header of every document (purchase orders have TC = 'OC'). An order is pending while
-- Pendiente = 1 and it is not void; FechaEnvioMail is the date it was last mailed.
CREATE TABLE c_mv_cpte (
  Cuenta           VARCHAR(20)  COLLATE NOCASE NOT NULL,
  TC               VARCHAR(6)   COLLATE NOCASE NOT NULL,
  IdComprobante    CHAR(13)     COLLATE NOCASE NOT NULL,
  Fecha            DATETIME NOT NULL,
  FechaEntrega     DATETIME,
  Usuario          VARCHAR(50)  COLLATE NOCASE,
  UNegocio         CHAR(4)      COLLATE NOCASE,
  CondicionPago    VARCHAR(50)  COLLATE NOCASE,
  Moneda           VARCHAR(3)   COLLATE NOCASE NOT NULL DEFAULT 'ARS',
  Subtotal         MONEY NOT NULL DEFAULT 0,
  Iva              MONEY NOT NULL DEFAULT 0,
  Total            MONEY NOT NULL DEFAULT 0,
  Pendiente        BIT NOT NULL DEFAULT 1,
  Anulado          BIT NOT NULL DEFAULT 0,
  CAE              VARCHAR(20)  COLLATE NOCASE,            -- set on documents issued electronically
  FechaEnvioMail   DATETIME,
  PRIMARY KEY (Cuenta, TC, IdComprobante),
  CHECK (length(IdComprobante) = 13)
);
CREATE INDEX IX_c_mv_cpte_tc ON c_mv_cpte (TC, Pendiente, Fecha);
CREATE INDEX IX_c_mv_cpte_numero ON c_mv_cpte (TC, IdComprobante);

-- Lines of a document (the "RP_CPTESER" sub-report of the order).
CREATE TABLE c_mv_cpteser (
  Cuenta           VARCHAR(20)  COLLATE NOCASE NOT NULL,
  TC               VARCHAR(6)   COLLATE NOCASE NOT NULL,
  IdComprobante    CHAR(13)     COLLATE NOCASE NOT NULL,
  Renglon          SMALLINT NOT NULL,
  IdArticulo       VARCHAR(25)  COLLATE NOCASE,
  Descripcion      VARCHAR(100) COLLATE NOCASE,
  Unidad           VARCHAR(10)  COLLATE NOCASE,
  Cantidad         NUMERIC(18,4) NOT NULL DEFAULT 0,
  PrecioUnitario   MONEY NOT NULL DEFAULT 0,
  Bonificacion     NUMERIC(18,4) NOT NULL DEFAULT 0,     -- percent
  Importe          MONEY NOT NULL DEFAULT 0,
  PRIMARY KEY (Cuenta, TC, IdComprobante, Renglon),
  FOREIGN KEY (Cuenta, TC, IdComprobante) REFERENCES c_mv_cpte (Cuenta, TC, IdComprobante)
    ON DELETE CASCADE
);

-- Observations of a document (the "RP_CpteObs" sub-report of the order).
CREATE TABLE c_mv_cpteobs (
  Cuenta           VARCHAR(20)  COLLATE NOCASE NOT NULL,
  TC               VARCHAR(6)   COLLATE NOCASE NOT NULL,
  IdComprobante    CHAR(13)     COLLATE NOCASE NOT NULL,
  Renglon          SMALLINT NOT NULL,
  Observacion      VARCHAR(250) COLLATE NOCASE,
  PRIMARY KEY (Cuenta, TC, IdComprobante, Renglon),
  FOREIGN KEY (Cuenta, TC, IdComprobante) REFERENCES c_mv_cpte (Cuenta, TC, IdComprobante)
    ON DELETE CASCADE
);

-- Pending purchase orders. No column here may be called Codigo: the filters name the
-- supplier's Codigo without a table.
CREATE VIEW V_Oc_pendientes AS
  SELECT c.Cuenta, c.TC, c.IdComprobante, c.Fecha, c.FechaEntrega, c.Usuario,
         c.UNegocio, c.CondicionPago, c.Total, c.FechaEnvioMail,
         p.Razon_Social AS Proveedor
  FROM c_mv_cpte c LEFT JOIN vt_proveedores p ON p.Codigo = c.Cuenta
  WHERE c.TC = 'OC' AND c.Pendiente = 1 AND c.Anulado = 0;

CREATE VIEW V_MV_CPTE AS
  SELECT c.TC, c.IdComprobante, c.Cuenta, c.Fecha, c.UNegocio AS UNEGOCIO, c.Usuario,
         c.Total, c.Anulado
  FROM c_mv_cpte c;

CREATE VIEW V_MV_CPTE_ELECTRONICOS AS
  SELECT c.TC, c.IdComprobante, c.Cuenta, c.CAE
  FROM c_mv_cpte c
  WHERE c.CAE IS NOT NULL AND trim(c.CAE) <> '';

-- Point-of-sale schema (Velmora Premium tables that Vendaro reads), written for tests and the demo.
CREATE TABLE productos (
  Clave VARCHAR(30) NOT NULL PRIMARY KEY,
  Descrip VARCHAR(200) NULL,
  Precio DECIMAL(14,4) NOT NULL DEFAULT 0,
  Costo DECIMAL(14,4) NULL,
  linea INT NULL,
  sublinea INT NULL,
  marca INT NULL,
  unidadmedida INT NULL,
  Existencia DECIMAL(14,4) NOT NULL DEFAULT 0,
  CodigoBarras VARCHAR(30) NULL,
  Peso DECIMAL(12,4) NULL,
  Alta DATE NULL,
  Observ TEXT NULL
);
CREATE TABLE lineas (Id INT NOT NULL PRIMARY KEY, Linea VARCHAR(60) NOT NULL);
CREATE TABLE sublineas (Id INT NOT NULL PRIMARY KEY, SubLinea VARCHAR(60) NOT NULL);
CREATE TABLE marcas (Id INT NOT NULL PRIMARY KEY, Marca VARCHAR(60) NOT NULL);
CREATE TABLE medidas (Id INT NOT NULL PRIMARY KEY, Medida VARCHAR(30) NOT NULL);
CREATE TABLE existenciaexterna (
  Producto VARCHAR(30) NOT NULL,
  Referencia VARCHAR(40) NOT NULL,
  Existencia DECIMAL(14,4) NOT NULL DEFAULT 0,
  PRIMARY KEY (Producto, Referencia)
);
CREATE TABLE configura (
  ColoresOtallas TINYINT NULL,
  Tallas TINYINT NULL,
  Colores TINYINT NULL,
  CarpetaImgProds VARCHAR(255) NULL
);

#include "services/basesdd.h"
#include "support/entorno.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {
const char* const Esquema = R"(
CREATE TABLE articulos (
  id INT AUTO_INCREMENT PRIMARY KEY,
  clave VARCHAR(40) NOT NULL,
  nombre VARCHAR(100) NULL,
  precio DECIMAL(14,4) NOT NULL DEFAULT 0,
  existencias INT NOT NULL DEFAULT 0,
  alta DATE NULL
);
CREATE TABLE configura (ColoresOtallas TINYINT NULL, CarpetaImgProds VARCHAR(200) NULL);
)";

struct Prueba : ::testing::Test {
    BaseTemporal base;
    BasesDD bd;
    Conexion cn;
    void SetUp() override {
        base.ejecutar(QString::fromUtf8(Esquema));
        const DatosConexion d = base.datos();
        bd.cRuta = d.servidor;
        bd.cPuerto = d.puerto;
        bd.cUsuario = d.usuario;
        bd.cPassword = d.contrasena;
        bd.cMiBase = d.base;
        ASSERT_TRUE(bd.AbrirBdD(cn, bd.cMiBase)) << qPrintable(cn.ultimoError());
    }
    void alta(const QString& clave, const Valor& nombre = Valor::nulo()) {
        Recordset rs;
        bd.AbrirTabla(rs, cn, Consulta(u"articulos"_s).limitar(0));
        rs.AddNew();
        rs.fijar(u"clave"_s, clave);
        rs.fijar(u"nombre"_s, nombre);
        ASSERT_TRUE(rs.Update()) << qPrintable(rs.ultimoError());
    }
};
} // namespace

TEST_F(Prueba, AbrirTablaVaciaDaFalsoPeroConoceLasColumnas) {
    Recordset rs;
    EXPECT_FALSE(bd.AbrirTabla(rs, cn, Consulta(u"articulos"_s)));
    ASSERT_TRUE(rs.abierto());
    ASSERT_EQ(rs.Count(), 6);
    EXPECT_EQ(rs.campo(1).Name, u"clave"_s);
    EXPECT_TRUE(rs.campo(1).noNulo);
    EXPECT_FALSE(rs.campo(2).noNulo);
    EXPECT_TRUE(rs.campo(3).numerico);
    EXPECT_TRUE(rs.campo(0).autoIncremento);
    EXPECT_EQ(rs.indice(u"EXISTENCIAS"_s), 4);
    EXPECT_TRUE(rs.Eof());
    EXPECT_EQ(rs.RecordCount(), 0);

    alta(u"A1"_s);
    EXPECT_TRUE(bd.AbrirTabla(rs, cn, Consulta(u"articulos"_s)));
    EXPECT_EQ(rs.RecordCount(), 1);
}

TEST_F(Prueba, ErroresDeConsultaSeDistinguenDeTablaVacia) {
    Recordset rs;
    CapturaBitacora bitacora;
    EXPECT_FALSE(bd.AbrirTabla(rs, cn, Consulta(u"no_existe"_s)));
    EXPECT_FALSE(rs.abierto());
    EXPECT_TRUE(rs.ultimoError().contains(u"1146"_s)) << qPrintable(rs.ultimoError());
    EXPECT_TRUE(bitacora.contiene(u"no_existe"_s));
    // The connection stays usable after an error.
    EXPECT_FALSE(bd.AbrirTabla(rs, cn, Consulta(u"articulos"_s)));
    EXPECT_TRUE(rs.abierto());
}

TEST_F(Prueba, AltaDevuelveElAutoincrementoYRespetaNulos) {
    Recordset rs;
    bd.AbrirTabla(rs, cn, Consulta(u"articulos"_s).limitar(0));
    rs.AddNew();
    rs.fijar(u"clave"_s, u"A1"_s);
    ASSERT_TRUE(rs.Update());
    EXPECT_EQ(rs.ultimoId(), 1u);
    EXPECT_EQ(rs.valor(u"id"_s).texto(), u"1"_s);
    rs.AddNew();
    rs.fijar(u"clave"_s, u"A2"_s);
    rs.fijar(u"nombre"_s, Valor::nulo());
    rs.fijar(u"precio"_s, u"12345678.1234"_s);
    ASSERT_TRUE(rs.Update());
    EXPECT_EQ(rs.ultimoId(), 2u);
    EXPECT_EQ(bd.LastId(cn, u"articulos"_s, u"id"_s), 2);
    EXPECT_EQ(base.filas(u"SELECT clave, nombre, precio FROM articulos ORDER BY id"_s),
              (QStringList{u"A1|NULL|0.0000"_s, u"A2|NULL|12345678.1234"_s}));

    // An insert the server refuses is a failure with the server's message.
    rs.AddNew();
    rs.fijar(u"columna_que_no_hay"_s, u"x"_s);
    EXPECT_FALSE(rs.Update());
    EXPECT_TRUE(rs.ultimoError().contains(u"columna_que_no_hay"_s));
}

TEST_F(Prueba, ValoresDificilesIdaYVuelta) {
    const QStringList claves{u"O'Brien"_s, u"barra\\final\\"_s, u"100%"_s,      u"a_b"_s,
                             u"ñandú ü"_s, u"carrito 🛒"_s,   u"\"dobles\""_s};
    for (const QString& c : claves)
        alta(c);
    alta(u"100x"_s); // would match '100%' if the value were a LIKE pattern
    alta(u"axb"_s);

    Recordset rs;
    for (const QString& c : claves) {
        ASSERT_TRUE(
            bd.AbrirTabla(rs, cn, Consulta(u"articulos"_s).donde_(u"clave"_s, c).limitar(1)))
            << qPrintable(c);
        qint64 afectados = 0;
        const QString nombre = u"nombre de "_s + c + u" '; DROP TABLE articulos; --"_s;
        ASSERT_TRUE(bd.ActualizaRegistro(cn, rs, u"articulos"_s, {u"nombre"_s}, {nombre},
                                         {{u"clave"_s, c}}, &afectados));
        EXPECT_EQ(afectados, 1) << qPrintable(c);
        ASSERT_TRUE(bd.AbrirTabla(rs, cn, Consulta(u"articulos"_s).donde_(u"clave"_s, c)));
        EXPECT_EQ(rs.RecordCount(), 1);
        EXPECT_EQ(rs.valor(u"clave"_s).texto(), c);
        EXPECT_EQ(rs.valor(u"nombre"_s).texto(), nombre);
    }
    EXPECT_EQ(base.filas(u"SELECT COUNT(*) FROM articulos WHERE nombre IS NULL"_s),
              QStringList{u"2"_s});
}

TEST_F(Prueba, ActualizaRegistroConNulos) {
    alta(u"A1"_s, u"tenía nombre"_s);
    Recordset rs;
    ASSERT_TRUE(bd.AbrirTabla(rs, cn, Consulta(u"articulos"_s).limitar(1)));
    // NULL where the column takes it; the empty value of its type where it is NOT NULL.
    ASSERT_TRUE(bd.ActualizaRegistro(
        cn, rs, u"articulos"_s, {u"nombre"_s, u"existencias"_s, u"alta"_s},
        {Valor::nulo(), Valor::nulo(), Valor::nulo()}, {{u"clave"_s, u"A1"_s}}));
    EXPECT_EQ(base.filas(u"SELECT nombre, existencias, alta FROM articulos"_s),
              QStringList{u"NULL|0|NULL"_s});
}

TEST_F(Prueba, LeeDato) {
    EXPECT_TRUE(bd.LeeDato(u"ColoresOtallas"_s, cn, u"configura"_s).esNulo());
    base.ejecutar(u"INSERT INTO configura VALUES (1, 'C:\\\\imagenes');"_s);
    EXPECT_EQ(bd.LeeDato(u"ColoresOtallas"_s, cn, u"configura"_s).texto(), u"1"_s);
    EXPECT_EQ(bd.LeeDato(u"CarpetaImgProds"_s, cn, u"configura"_s).texto(), u"C:\\imagenes"_s);
    CapturaBitacora bitacora;
    EXPECT_TRUE(bd.LeeDato(u"NoHay"_s, cn, u"configura"_s).esNulo());
}

TEST_F(Prueba, ReabrirConLosMismosDatosNoCuestaNada) {
    const qint64 antes = cn.sentenciasEnviadas();
    EXPECT_TRUE(bd.AbrirBdD(cn, bd.cMiBase));
    EXPECT_EQ(cn.sentenciasEnviadas(), antes);

    // A connection the server dropped is noticed on the next statement and opened again.
    Conexion otra;
    ASSERT_TRUE(otra.abrir(base.datos(), {}));
    ResultadoConsulta id;
    ASSERT_TRUE(cn.consultar(u"SELECT CONNECTION_ID()"_s, id));
    ASSERT_TRUE(otra.Execute(u"KILL "_s + id.filas[0][0].texto()));
    Recordset rs;
    CapturaBitacora bitacora;
    EXPECT_FALSE(bd.AbrirTabla(rs, cn, Consulta(u"articulos"_s)));
    EXPECT_FALSE(rs.abierto());
    EXPECT_TRUE(cn.conexionPerdida()) << qPrintable(cn.ultimoError());
    EXPECT_FALSE(cn.abierta());
    EXPECT_TRUE(bd.AbrirBdD(cn, bd.cMiBase));
    EXPECT_FALSE(bd.AbrirTabla(rs, cn, Consulta(u"articulos"_s)));
    EXPECT_TRUE(rs.abierto());
}

TEST(Conexion, ContrasenaEquivocadaYBaseInexistente) {
    DatosConexion d = entorno::mysql();
    d.contrasena = u"mala"_s;
    Conexion cn;
    EXPECT_FALSE(cn.abrir(d, {}));
    EXPECT_EQ(cn.codigoError(), 1045u) << qPrintable(cn.ultimoError());
    EXPECT_FALSE(cn.abierta());

    d = entorno::mysql(u"base_que_no_existe"_s);
    EXPECT_FALSE(cn.abrir(d, {}));
    EXPECT_EQ(cn.codigoError(), 1049u);
}

TEST(Conexion, UnServidorMudoTerminaConError) {
    // A listener that accepts connections and never speaks: without timeouts the client would wait
    // for the greeting forever.
    OyenteMudo mudo;
    ASSERT_TRUE(mudo.listo());
    const int puerto = mudo.puerto();

    OpcionesConexion opciones;
    opciones.segundosConexion = 1;
    opciones.segundosLectura = 1;
    opciones.segundosEscritura = 1;
    Conexion cn;
    EXPECT_FALSE(cn.abrir({u"127.0.0.1"_s, puerto, u"u"_s, u"p"_s, QString(), {}}, opciones));
    EXPECT_TRUE(cn.conexionPerdida()) << qPrintable(cn.ultimoError());
    mudo.cerrar();

    // A closed port fails at once.
    EXPECT_FALSE(cn.abrir({u"127.0.0.1"_s, puerto, u"u"_s, u"p"_s, QString(), {}}, opciones));
}

TEST(Conexion, SesionConElModoDeLaTienda) {
    OpcionesConexion opciones;
    opciones.sqlMode = u"NO_ZERO_IN_DATE,NO_ENGINE_SUBSTITUTION"_s;
    Conexion cn;
    ASSERT_TRUE(cn.abrir(entorno::mysql(), opciones));
    ResultadoConsulta r;
    ASSERT_TRUE(cn.consultar(u"SELECT @@SESSION.sql_mode, @@character_set_client"_s, r));
    EXPECT_EQ(r.filas[0][0].texto(), u"NO_ZERO_IN_DATE,NO_ENGINE_SUBSTITUTION"_s);
    EXPECT_EQ(r.filas[0][1].texto(), u"utf8mb4"_s);
}

TEST(Sql, IdentificadoresEntreComillasInvertidas) {
    EXPECT_EQ(Conexion::identificador(u"oc_product"_s), u"`oc_product`"_s);
    EXPECT_EQ(Conexion::identificador(u" language_id"_s), u"`language_id`"_s);
    EXPECT_EQ(Conexion::identificador(u"tienda.oc_product"_s), u"`tienda`.`oc_product`"_s);
    EXPECT_EQ(Conexion::identificador(u"a`b"_s), u"`a``b`"_s);
    const Conexion sinAbrir;
    EXPECT_EQ(sinAbrir.literal(u"O'Brien\\"_s), u"'O\\'Brien\\\\'"_s);
    EXPECT_EQ(sinAbrir.literal(Valor::nulo()), u"NULL"_s);
}

// The shop reached through a real OpenSSH server (scripts/sshd.sh): every login the settings offer,
// each failure in its own words, and a tunnel lost mid-send.
#include "sync/comprobacion.h"
#include "sync/escenario.h"

#include "config/certificado_ftp.h"
#include "support/entorno.h"

#include <QFile>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

#ifndef Q_OS_WIN
#include <csignal>
#include <iostream>
#endif
#include <thread>

using namespace Qt::StringLiterals;

namespace {
const QStringList Modos{u"por lotes"_s, u"por producto"_s};

QString ssh(const char* nombre) {
    return entorno::valor(nombre);
}
QString llave(const QString& nombre) {
    return ssh("VENDARO_SSH_DIR") + u'/' + nombre;
}

// The shop behind the SSH server of that port, as the SSH server sees it; known hosts forgotten.
void porTunel(Escenario& e, const QString& puerto) {
    QFile::remove(ArchivoServidoresConocidos());
    e.ajustar(u"Túnel SSH"_s, u"127.0.0.1:"_s + puerto);
    e.ajustar(u"Usuario SSH"_s, ssh("VENDARO_SSH_USER"));
    e.ajustar(u"Dirección IP"_s, u"127.0.0.1"_s);
    e.ajustar(u"Puerto"_s, QString::number(entorno::mysql().puerto));
}

void comprobarTienda(Escenario& e, int productos) {
    EXPECT_EQ(e.tienda.filas(u"SELECT COUNT(*), COUNT(DISTINCT model) FROM oc_product"_s),
              QStringList{u"%1|%1"_s.arg(productos)});
    EXPECT_EQ(e.tienda.filas(u"SELECT COUNT(*) FROM oc_product_to_store"_s),
              QStringList{QString::number(productos)});
}

#ifndef Q_OS_WIN
// A port the system just gave a listener, free again once it closes.
int puertoLibre() {
    return OyenteMudo().puerto();
}

// The pids of a process and its children (sshd forks one per connection).
QList<qint64> conHijos(qint64 pid) {
    QList<qint64> pids{pid};
    QFile hijos(u"/proc/%1/task/%1/children"_s.arg(pid));
    if (hijos.open(QIODevice::ReadOnly))
        for (const QByteArray& h : hijos.readAll().split(' '))
            if (!h.trimmed().isEmpty())
                pids += conHijos(h.trimmed().toLongLong());
    return pids;
}
#endif
} // namespace

TEST(Tunel, CadaFormaDeEntrarEnviaYRecuerdaLaLlave) {
    struct Entrada {
        const char* nombre;
        QString clave, valor, clave2, valor2;
    };
    QList<Entrada> entradas{
        {"llave ed25519", u"Llave SSH"_s, llave(u"id_ed25519"_s), {}, {}},
        {"llave RSA en PEM (firma SHA-2)", u"Llave SSH"_s, llave(u"id_rsa"_s), {}, {}},
        {"llave con frase", u"Llave SSH"_s, llave(u"id_frase"_s), u"Frase de la llave SSH"_s,
         ssh("VENDARO_SSH_FRASE")},
    };
    if (!ssh("VENDARO_SSH_PASSWORD").isEmpty())
        entradas.prepend({"contraseña", u"Password SSH"_s, ssh("VENDARO_SSH_PASSWORD"), {}, {}});
    else
        // Without root sshd.sh has no account with a password (it uses the caller's, keys only).
        std::cerr << "Tunel: sshd.sh did not run as root; the password login is not tested\n";
    for (const Entrada& en : entradas) {
        for (const QString& modo : Modos) {
            SCOPED_TRACE(en.nombre + (u" "_s + modo).toStdString());
            Escenario e;
            porTunel(e, ssh("VENDARO_SSH_PORT"));
            e.ajustar(u"Modo de envío"_s, modo);
            e.ajustar(en.clave, en.valor);
            if (!en.clave2.isEmpty())
                e.ajustar(en.clave2, en.valor2);
            e.mapeoBasico();
            e.productos(4);
            CapturaBitacora bitacora;
            const ResumenEnvio r = e.enviar();
            EXPECT_TRUE(r.completo()) << qPrintable(r.mensaje);
            comprobarTienda(e, 4);
            EXPECT_TRUE(bitacora.contiene(u"Llave del servidor SSH [127.0.0.1]:"_s))
                << qPrintable(bitacora.lineas().join(u'\n'));
            EXPECT_TRUE(bitacora.contiene(ssh("VENDARO_SSH_HUELLA")));
            for (const QString& linea : bitacora.lineas()) {
                EXPECT_FALSE(linea.contains(ssh("VENDARO_SSH_FRASE"))) << qPrintable(linea);
                if (!ssh("VENDARO_SSH_PASSWORD").isEmpty()) {
                    EXPECT_FALSE(linea.contains(ssh("VENDARO_SSH_PASSWORD"))) << qPrintable(linea);
                }
            }
            // The key remembered: a second send trusts it without remembering it again.
            CapturaBitacora segunda;
            EXPECT_TRUE(e.enviar().completo());
            EXPECT_FALSE(segunda.contiene(u"recordada por primera vez"_s));
            comprobarTienda(e, 4);
        }
    }
}

TEST(Tunel, CadaFalloSeExplica) {
    struct Caso {
        const char* nombre;
        std::function<void(Escenario&)> preparar;
        QString esperado;
    };
    const QList<Caso> casos{
        {"llave del servidor cambiada",
         [](Escenario& e) {
             porTunel(e, ssh("VENDARO_SSH_PORT"));
             e.ajustar(u"Llave SSH"_s, llave(u"id_ed25519"_s));
             // Another key remembered for this server: what a server replaced (or an impostor)
             // shows.
             QFile f(ArchivoServidoresConocidos());
             ASSERT_TRUE(f.open(QIODevice::WriteOnly));
             QFile otra(llave(u"id_ed25519.pub"_s));
             ASSERT_TRUE(otra.open(QIODevice::ReadOnly));
             f.write("[127.0.0.1]:" + ssh("VENDARO_SSH_PORT").toUtf8() + ' ' +
                     otra.readAll().split(' ').mid(0, 2).join(' ') + '\n');
         },
         u"la llave del servidor SSH [127.0.0.1]:%1 cambió: se conocía SHA256:"_s.arg(
             ssh("VENDARO_SSH_PORT"))},
        {"reenvío prohibido",
         [](Escenario& e) {
             porTunel(e, ssh("VENDARO_SSH_PROHIBE_PORT"));
             e.ajustar(u"Llave SSH"_s, llave(u"id_ed25519"_s));
         },
         u"no permite reenviar conexiones (\"administratively prohibited\""_s},
        {"llave que el servidor no conoce",
         [](Escenario& e) {
             porTunel(e, ssh("VENDARO_SSH_PORT"));
             // The server's own host key: a valid private key that authorized_keys does not list.
             e.ajustar(u"Llave SSH"_s, llave(u"host_ed25519"_s));
         },
         u"el servidor SSH rechazó el acceso de «%1» con la llave %2; los métodos que acepta son: "
         u"contraseña, llave"_s.arg(ssh("VENDARO_SSH_USER"), llave(u"host_ed25519"_s))},
        {"frase equivocada",
         [](Escenario& e) {
             porTunel(e, ssh("VENDARO_SSH_PORT"));
             e.ajustar(u"Llave SSH"_s, llave(u"id_frase"_s));
             e.ajustar(u"Frase de la llave SSH"_s, u"otra"_s);
         },
         u"la frase de la llave no es la correcta"_s},
        {"base de datos callada detrás del túnel",
         [](Escenario& e) {
             porTunel(e, ssh("VENDARO_SSH_PORT"));
             e.ajustar(u"Llave SSH"_s, llave(u"id_ed25519"_s));
             e.ajustar(u"Puerto"_s, u"1"_s);
         },
         u"la base de datos no responde detrás del túnel SSH"_s},
        {"nada escucha en el puerto del servidor SSH",
         [](Escenario& e) {
             porTunel(e, u"1"_s);
             e.ajustar(u"Llave SSH"_s, llave(u"id_ed25519"_s));
         },
         // A refusal, told at once: not the time-out of a server that does not answer.
         u"no se pudo conectar con el servidor SSH 127.0.0.1:1 (rechazó la conexión"_s},
        {"verificada no puede comprobar el nombre",
         [](Escenario& e) {
             porTunel(e, ssh("VENDARO_SSH_PORT"));
             e.ajustar(u"Llave SSH"_s, llave(u"id_ed25519"_s));
             e.ajustar(u"Conexión segura WEB"_s, u"verificada"_s);
         },
         u"«Conexión segura WEB» = verificada no puede comprobar el nombre «127.0.0.1»"_s},
    };
    QList<Caso> todos = casos;
    if (!ssh("VENDARO_SSH_PASSWORD").isEmpty())
        todos.append({"contraseña equivocada",
                      [](Escenario& e) {
                          porTunel(e, ssh("VENDARO_SSH_PORT"));
                          e.ajustar(u"Password SSH"_s, u"equivocada"_s);
                      },
                      u"el servidor SSH rechazó el acceso de «%1» con contraseña; los métodos "
                      u"que acepta son: contraseña, llave"_s.arg(ssh("VENDARO_SSH_USER"))});
    for (const Caso& caso : todos) {
        SCOPED_TRACE(caso.nombre);
        Escenario e;
        caso.preparar(e);
        e.mapeoBasico();
        e.productos(2);
        const ResumenEnvio r = e.enviar();
        EXPECT_EQ(r.estado, ResumenEnvio::Estado::SinConexion);
        EXPECT_TRUE(r.mensaje.contains(caso.esperado)) << qPrintable(r.mensaje);
        EXPECT_EQ(e.tienda.filas(u"SELECT COUNT(*) FROM oc_product"_s), QStringList{u"0"_s});
    }
    QFile::remove(ArchivoServidoresConocidos());
}

// The SSH server killed, connections and all, in the middle of a send, and started again: the run
// reopens its tunnel and its shop sessions (the shop lock retaken) and ends as a clean send would.
TEST(Tunel, UnServidorSshMuertoAMitadDelEnvio) {
#ifdef Q_OS_WIN
    GTEST_SKIP() << "El sshd de la prueba es un programa de Linux: un proceso de Windows no puede "
                    "iniciarlo ni matarlo junto con sus conexiones";
#else
    for (const QString& modo : Modos) {
        SCOPED_TRACE(qPrintable(modo));
        // An sshd of this test's own, like the fixture's forwarding one on another port.
        QFile base(llave(u"permite.conf"_s));
        ASSERT_TRUE(base.open(QIODevice::ReadOnly));
        CarpetaTemporal carpeta;
        const QString puerto = QString::number(puertoLibre());
        QString config = QString::fromUtf8(base.readAll());
        config.replace(u"Port "_s + ssh("VENDARO_SSH_PORT"), u"Port "_s + puerto);
        config.replace(llave(u"permite.pid"_s), carpeta.ruta(u"sshd.pid"_s));
        const QString archivo = carpeta.escribir(u"sshd.conf"_s, config.toUtf8());
        std::atomic<qint64> sshd = 0;
        auto iniciar = [&] {
            qint64 pid = 0;
            EXPECT_TRUE(QProcess::startDetached(
                u"/usr/sbin/sshd"_s,
                {u"-D"_s, u"-f"_s, archivo, u"-E"_s, carpeta.ruta(u"sshd.log"_s)}, {}, &pid));
            QThread::msleep(400);
            sshd = pid;
        };
        auto matar = [&] {
            if (sshd <= 0)
                return; // kill(0) would be this process's whole group
            for (qint64 pid : conHijos(sshd))
                ::kill(pid_t(pid), SIGKILL);
            sshd = 0;
        };
        iniciar();

        Escenario e;
        porTunel(e, puerto);
        e.ajustar(u"Modo de envío"_s, modo);
        e.ajustar(u"Llave SSH"_s, llave(u"id_ed25519"_s));
        e.mapeoBasico();
        e.productos(6);
        std::thread reinicio;
        e.ventana.alProducto = [&](qint64 n) {
            if (n != 3 || reinicio.joinable())
                return;
            matar();
            reinicio = std::thread([&] {
                QThread::msleep(1500);
                iniciar();
            });
        };
        CapturaBitacora bitacora;
        const ResumenEnvio r = e.enviar();
        if (reinicio.joinable())
            reinicio.join();
        e.ventana.alProducto = nullptr;
        EXPECT_TRUE(r.completo()) << qPrintable(r.mensaje);
        EXPECT_TRUE(bitacora.contiene(u"Túnel SSH: se perdió la sesión SSH"_s) ||
                    bitacora.contiene(u"el servidor SSH"_s))
            << qPrintable(bitacora.lineas().join(u'\n'));
        EXPECT_TRUE(bitacora.contiene(u"nuevo intento en"_s) ||
                    bitacora.contiene(u"Se perdió la conexión con la tienda"_s));
        comprobarTienda(e, 6);
        // Identical to a clean send: the next one finds nothing to change.
        const ResumenEnvio otra = e.enviar();
        EXPECT_EQ(otra.sinCambios, 6) << qPrintable(otra.mensaje);
        matar();
    }
#endif
}

// The check (--check and "Probar conex.") names the route and the server's key before the
// database behind it; a refused login is the route's own failure, and the database is not tried.
TEST(Tunel, LaComprobacionDiceLaRutaYLaLlave) {
    Escenario e;
    porTunel(e, ssh("VENDARO_SSH_PORT"));
    e.ajustar(u"Llave SSH"_s, llave(u"id_ed25519"_s));
    e.mapeoBasico();
    e.leer();
    auto pasoDe = [](const QList<PasoComprobacion>& pasos, const QString& nombre) {
        for (const PasoComprobacion& p : pasos)
            if (p.nombre == nombre)
                return p;
        return PasoComprobacion{};
    };
    QList<PasoComprobacion> pasos = comprobarConexiones({*e.c.bases, e.ajustes, e.campos});
    const PasoComprobacion ruta = pasoDe(pasos, PasoNombre::Tunel);
    EXPECT_EQ(ruta.estado, PasoComprobacion::Estado::Bien) << qPrintable(ruta.texto);
    EXPECT_TRUE(ruta.texto.startsWith(u"Ruta a la tienda: por túnel SSH %1@127.0.0.1:%2"_s.arg(
        ssh("VENDARO_SSH_USER"), ssh("VENDARO_SSH_PORT"))))
        << qPrintable(ruta.texto);
    EXPECT_TRUE(ruta.texto.contains(ssh("VENDARO_SSH_HUELLA"))) << qPrintable(ruta.texto);
    EXPECT_EQ(pasoDe(pasos, PasoNombre::Tienda).estado, PasoComprobacion::Estado::Bien);
    EXPECT_TRUE(pasoDe(pasos, PasoNombre::Tienda).texto.contains(u"conexión correcta"_s));

    e.ajustar(u"Llave SSH"_s, llave(u"id_frase"_s));
    e.ajustar(u"Frase de la llave SSH"_s, u"otra"_s);
    e.leer();
    pasos = comprobarConexiones({*e.c.bases, e.ajustes, e.campos});
    const PasoComprobacion fallo = pasoDe(pasos, PasoNombre::Tunel);
    EXPECT_EQ(fallo.estado, PasoComprobacion::Estado::Fallo) << qPrintable(fallo.texto);
    EXPECT_TRUE(fallo.texto.contains(u"la frase de la llave no es la correcta"_s))
        << qPrintable(fallo.texto);
    EXPECT_TRUE(pasoDe(pasos, PasoNombre::Tienda).nombre.isEmpty()) << "database tried anyway";
    QFile::remove(ArchivoServidoresConocidos());
}

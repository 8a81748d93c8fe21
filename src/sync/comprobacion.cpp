#include "comprobacion.h"

#include "clsprocedimenti.h"
#include "config/certificado_ftp.h"
#include "esquema_tienda.h"
#include "ftp/clsftp.h"
#include "ftp/destino_ftp.h"
#include "services/componentes.h"
#include "services/conexion.h"
#include "services/libqvtx.h"
#include "services/texto_seguro.h"
#include "services/tunel_ssh.h"
#include "tablas_envio.h"

#include <QDir>

#include <memory>

using namespace Qt::StringLiterals;

QString motivoConexion(const Conexion& cn) {
    const QString servidor = cn.datos().servidor.isEmpty() ? u"localhost"_s : cn.datos().servidor;
    if (!cn.datos().ilegible.isEmpty())
        return cn.datos().ilegible;
    switch (cn.codigoError()) {
    case 1045:
        return u"el usuario o la contraseña no son correctos"_s;
    case 1044:
        return u"el usuario no tiene acceso a la base de datos «%1»"_s.arg(cn.datos().base);
    case 1049:
        return u"la base de datos «%1» no existe en el servidor (el nombre distingue mayúsculas "
               u"y minúsculas)"_s.arg(cn.datos().base);
    case 1130:
        return u"el servidor no admite conexiones desde este equipo"_s;
    case 2005:
        return u"no se encontró el servidor «%1» (revise el nombre o la dirección)"_s.arg(servidor);
    case 2002:
    case 2003:
        return u"el servidor «%1» no acepta conexiones en el puerto %2 (apagado, o dirección o "
               u"puerto equivocados)"_s.arg(servidor)
                   .arg(cn.datos().puerto);
    case 2013:
    case 2006:
        return u"el servidor «%1» no respondió a tiempo, o cortó la conexión"_s.arg(servidor);
    case 2026:
        return u"no se pudo establecer la conexión cifrada (TLS) con el servidor"_s;
    default:
        break;
    }
    return u"el servidor no aceptó la conexión"_s;
}

namespace {
using Estado = PasoComprobacion::Estado;

PasoComprobacion paso(const QString& nombre, Estado estado, const QString& texto,
                      const QString& motivo = {}) {
    return PasoComprobacion{nombre, estado, texto, motivo};
}

// What the steps share: the check's data, what earlier steps opened, and the results so far.
struct Contexto {
    const DatosComprobacion& datos;
    const AlTerminarPaso& alTerminar;
    QList<PasoComprobacion> pasos;
    BasesDD web;
    Conexion cnWeb;
    bool tiendaAbierta = false;
    bool tablaProductos = false;
    std::unique_ptr<clsFTP> ftp;

    void agregar(PasoComprobacion p) {
        p.texto = textoSeguro::paraMostrar(p.texto);
        pasos.append(p);
        if (alTerminar)
            alTerminar(pasos.last());
    }
};

bool probarBase(Contexto& ctx, const QString& nombre, BasesDD& bases, Conexion& cn) {
    const QString servidor = (bases.cRuta.isEmpty() ? u"localhost"_s : bases.cRuta) + u':' +
                             QString::number(bases.cPuerto);
    const QString cabeza = nombre + u" «"_s + bases.cMiBase + u"» en "_s + servidor;
    if (bases.AbrirBdD(cn, bases.cMiBase)) {
        const QString cifrado = cn.cifrado();
        const QString motivo =
            u"conexión correcta, "_s +
            (cifrado.isEmpty() ? u"sin cifrar"_s : u"cifrada ("_s + cifrado + u')') +
            (cn.comprimida() ? u", comprimida"_s : QString());
        ctx.agregar(paso(nombre, Estado::Bien, cabeza + u": "_s + motivo, motivo));
        return true;
    }
    const QString motivo = motivoConexion(cn);
    ctx.agregar(paso(nombre, Estado::Fallo,
                     cabeza + u": no se pudo abrir ("_s + cn.ultimoError() + u"): "_s + motivo,
                     motivo));
    return false;
}

void puntoDeVenta(Contexto& ctx) {
    BasesDD bases = ctx.datos.puntoDeVenta;
    Conexion cn;
    probarBase(ctx, PasoNombre::PuntoDeVenta, bases, cn);
    bases.CierraBdD(cn);
}

// With a tunnel, its SSH session (host key and login) is tried before the database behind it.
bool rutaTienda(Contexto& ctx) {
    TunelSsh* tunel = ctx.web.opciones.tunel.get();
    if (!tunel)
        return true;
    const QString nombre = PasoNombre::Tunel;
    const QString cabeza = u"Ruta a la tienda: por túnel SSH "_s + tunel->ruta();
    if (tunel->abrirCanal(ctx.web.cRuta, ctx.web.cPuerto)) {
        const QString motivo = u"llave del servidor "_s + tunel->huella();
        ctx.agregar(paso(nombre, Estado::Bien, cabeza + u", "_s + motivo, motivo));
        return true;
    }
    const QString huella =
        tunel->huella().isEmpty() ? QString() : u", llave del servidor "_s + tunel->huella();
    ctx.agregar(paso(nombre, Estado::Fallo,
                     cabeza + huella + u": no se pudo abrir ("_s + tunel->ultimoError() + u')',
                     tunel->ultimoError()));
    return false;
}

void tienda(Contexto& ctx) {
    ConexionTienda(ctx.web, ctx.datos.ajustes);
    if (!rutaTienda(ctx))
        return;
    ctx.tiendaAbierta = probarBase(ctx, PasoNombre::Tienda, ctx.web, ctx.cnWeb);
}

void tablaProductos(Contexto& ctx) {
    if (!ctx.tiendaAbierta)
        return;
    const QString tabla = ctx.datos.ajustes.TablaProductosWeb.trimmed();
    const QString nombre = PasoNombre::TablaProductos;
    if (tabla.isEmpty()) {
        ctx.agregar(paso(nombre, Estado::Fallo, nombre + u": sin nombre"_s, u"sin nombre"_s));
        return;
    }
    QHash<QString, TablaTienda> esquema;
    QString error;
    const QString cabeza = nombre + u" «"_s + tabla + u'»';
    if (!LeerEsquemaTienda(ctx.cnWeb, {tabla}, &esquema, &error)) {
        ctx.agregar(paso(nombre, Estado::Fallo, cabeza + u": "_s + error, error));
        return;
    }
    if (!esquema.value(tabla).existe()) {
        const QString motivo = u"no existe en la base de datos «%1» (el nombre distingue "
                               u"mayúsculas y minúsculas)"_s.arg(ctx.datos.ajustes.BaseDatosWeb);
        ctx.agregar(paso(nombre, Estado::Fallo, cabeza + u": "_s + motivo, motivo));
        return;
    }
    ctx.tablaProductos = true;
    ctx.agregar(paso(nombre, Estado::Bien, cabeza + u": existe"_s, u"existe"_s));
}

// What a send would write, checked as the send checks it before writing.
void relacion(Contexto& ctx) {
    if (!ctx.tablaProductos)
        return;
    const QString nombre = PasoNombre::Relacion;
    const QList<UsoDeTabla> usos = TablasDelEnvio(ctx.datos.campos, ctx.datos.ajustes);
    QHash<QString, TablaTienda> esquema;
    QString error;
    QStringList problemas;
    if (ctx.datos.campos.isEmpty())
        problemas.append(u"la relación de campos no está definida"_s);
    else if (!LeerEsquemaTienda(ctx.cnWeb, NombresDeTablas(usos), &esquema, &error))
        problemas.append(error);
    else
        problemas = ComprobarTablas(ctx.cnWeb, usos, esquema, true, true);
    if (problemas.isEmpty()) {
        const QString motivo = u"las tablas y columnas existen y el usuario puede escribirlas"_s;
        ctx.agregar(paso(nombre, Estado::Bien, nombre + u": "_s + motivo, motivo));
    }
    for (const QString& p : problemas)
        ctx.agregar(paso(nombre, Estado::Fallo, nombre + u": "_s + p, p));
}

void servidorFtp(Contexto& ctx) {
    const Ajustes& ajustes = ctx.datos.ajustes;
    const QString nombre = PasoNombre::Ftp;
    if (ajustes.DireccionFTP.trimmed().isEmpty()) {
        ctx.agregar(
            paso(nombre, Estado::Bien, nombre + u": sin configurar"_s, u"sin configurar"_s));
        return;
    }
    if (const QString ilegibles = motivoIlegibles(ajustes, true); !ilegibles.isEmpty()) {
        ctx.agregar(paso(nombre, Estado::Fallo, nombre + u": "_s + ilegibles, ilegibles));
        return;
    }
    auto ftp = std::make_unique<clsFTP>();
    PrepararClienteFTP(*ftp, ajustes);
    const QString cabeza = nombre + u" «"_s + DestinoFTP::sinContrasena(ajustes.DireccionFTP) +
                           u"» como «"_s + ajustes.UsuarioFTP + u'»';
    if (!ftp->OpenConnection(ajustes.DireccionFTP, ajustes.UsuarioFTP, ajustes.PasswordFTP)) {
        const QString motivo = MensajeErrorFTP(*ftp, ajustes);
        ctx.agregar(paso(nombre, Estado::Fallo, cabeza + u": no se pudo entrar ("_s + motivo + u')',
                         u"no se pudo entrar ("_s + motivo + u')'));
        return;
    }
    ctx.agregar(paso(nombre, Estado::Bien, cabeza + u": sesión correcta"_s, u"sesión correcta"_s));
    if (!ftp->IsEncrypted()) {
        const QString aviso = u"la sesión FTP no está cifrada (el servidor no ofrece TLS): la "
                              u"contraseña y las imágenes viajan en claro. Use una dirección "
                              u"ftpes://, ftps:// o sftp:// si el servidor lo permite."_s;
        ctx.agregar(paso(nombre, Estado::Aviso, u"Aviso: "_s + aviso, aviso));
    }
    ctx.ftp = std::move(ftp);
}

// "Carpeta del FTP" is put before each picture's name: its folder is up to the last slash. A
// folder that is not there is created by the picture pass, so its absence is only a warning.
void carpetaFtp(Contexto& ctx) {
    if (!ctx.ftp)
        return;
    const QString nombre = PasoNombre::CarpetaFtp;
    const QString& prefijo = ctx.datos.ajustes.CarpetaFTP;
    const QString carpeta = prefijo.left(prefijo.lastIndexOf(u'/') + 1);
    if (carpeta.isEmpty()) {
        const QString motivo = u"las imágenes van a la carpeta de inicio de la sesión"_s;
        ctx.agregar(paso(nombre, Estado::Bien, nombre + u": "_s + motivo, motivo));
    } else if (ctx.ftp->SetFTPDirectory(carpeta)) {
        ctx.agregar(
            paso(nombre, Estado::Bien, nombre + u" «"_s + carpeta + u"»: existe"_s, u"existe"_s));
    } else {
        const QString motivo =
            u"no se pudo abrir (%1); un envío de imágenes intentará crearla"_s.arg(
                ctx.ftp->GetLastErrorMessage());
        ctx.agregar(
            paso(nombre, Estado::Aviso, nombre + u" «"_s + carpeta + u"»: "_s + motivo, motivo));
    }
    ctx.ftp->CloseConnection();
    ctx.ftp.reset();
}

// The steps in the order they run; a new kind of check is one more function here.
using Paso = void (*)(Contexto&);
const Paso Pasos[] = {puntoDeVenta, tienda, tablaProductos, relacion, servidorFtp, carpetaFtp};
} // namespace

QList<PasoComprobacion> comprobarConexiones(const DatosComprobacion& datos,
                                            const AlTerminarPaso& alTerminar) {
    Contexto ctx{datos, alTerminar, {}, {}, {}, false, false, {}};
    for (Paso p : Pasos)
        p(ctx);
    ctx.web.CierraBdD(ctx.cnWeb);
    return ctx.pasos;
}

ListasTienda LeerListasTienda(const Ajustes& ajustes) {
    ListasTienda listas;
    BasesDD web;
    ConexionTienda(web, ajustes);
    if (TunelSsh* tunel = web.opciones.tunel.get();
        tunel && !tunel->abrirCanal(web.cRuta, web.cPuerto)) {
        listas.motivo = u"túnel SSH "_s + tunel->ruta() + u": "_s + tunel->ultimoError();
        return listas;
    }
    Conexion cn;
    if (!web.AbrirBdD(cn, web.cMiBase)) {
        listas.motivo = motivoConexion(cn);
        web.CierraBdD(cn);
        return listas;
    }
    QString error;
    if (TablasDeLaBase(cn, &listas.tablas, &error) &&
        LeerEsquemaTienda(cn, listas.tablas, &listas.esquema, &error))
        listas.leidas = true;
    else
        listas.motivo = error;
    web.CierraBdD(cn);
    return listas;
}

QStringList NombresQueFaltan(const clnCampos& campos, const Ajustes& ajustes,
                             const ListasTienda& listas) {
    // Only whether the names exist: no statement is tried, so no session is needed.
    Conexion sinSesion;
    return ComprobarTablas(sinSesion, TablasDelEnvio(campos, ajustes), listas.esquema, false,
                           false);
}

QList<PasoComprobacion> comprobarAjustes(Componentes& c, const QString& rutaIni,
                                         DatosComprobacion* datos, bool* utilizable) {
    QList<PasoComprobacion> pasos;
    *utilizable = false;
    auto agregar = [&](const QString& nombre, Estado estado, const QString& texto) {
        pasos.append(paso(nombre, estado, texto, texto));
    };
    const QString archivo = PasoNombre::Archivo;
    // Shown as the system writes paths (backslashes and a drive letter on Windows).
    agregar(archivo, Estado::Bien, archivo + u": "_s + QDir::toNativeSeparators(rutaIni));
    // A file that is not a settings file is never rewritten; lines that mean nothing (a file cut
    // short) and keys given twice are shown.
    const libQVTX::EstadoIni estado = c.qvtx->EstadoArchivo(rutaIni);
    if (!estado.problema.isEmpty()) {
        agregar(archivo, Estado::Fallo,
                u"El archivo de configuración "_s + QDir::toNativeSeparators(rutaIni) + u' ' +
                    estado.problema + u"; no se usa ni se modifica."_s);
        return pasos;
    }
    for (const QString& linea : estado.sinSentido)
        agregar(archivo, Estado::Fallo,
                u"Archivo de configuración, "_s + textoSeguro::paraMostrar(linea) +
                    u": no es una sección ni una clave (¿el archivo quedó cortado?)"_s);
    for (const QString& repetida : estado.repetidas)
        agregar(archivo, Estado::Aviso,
                u"Aviso: en el archivo de configuración "_s + textoSeguro::paraMostrar(repetida));
    // Headless there is nobody to agree to a new key: the check stops and says which file is
    // missing.
    if (const QString problema = ComprobarLlave(*c.qvtx, *c.utilerias, rutaIni);
        !problema.isEmpty()) {
        agregar(u"Llave de cifrado"_s, Estado::Fallo,
                problema + u"\nPonga en su lugar una copia de ese archivo, o abra el programa para "
                           u"crear una llave nueva y escribir de nuevo los valores cifrados."_s);
        return pasos;
    }
    const QString instalacion = PasoNombre::Instalacion;
    if (!LocalizarInstalacion(*c.qvtx, *c.registro, *c.bases, rutaIni, true)) {
        const QString carpeta = c.qvtx->LeeIni(SeccionConfiguracion, ClaveRutaHost, rutaIni);
        agregar(instalacion, Estado::Fallo,
                instalacion + u": no se encontró en «"_s + carpeta +
                    u"» (falta el archivo velmora.ini); corrija «"_s + ClaveRutaHost +
                    u"» en el archivo de configuración."_s);
        return pasos;
    }
    agregar(instalacion, Estado::Bien,
            instalacion + u": encontrada ("_s +
                c.qvtx->LeeIni(SeccionConfiguracion, ClaveRutaHost, rutaIni) + u')');

    datos->ajustes = Ajustes{};
    datos->ajustes.RutaIni = rutaIni;
    datos->campos.clear();
    clsProcedimenti procedimiento(c, datos->ajustes);
    procedimiento.LeerConfiguracion(datos->campos);
    if (procedimiento.ajustesInutiles()) {
        agregar(archivo, Estado::Fallo, textoSeguro::paraMostrar(procedimiento.ultimoError()));
        return pasos;
    }
    datos->puntoDeVenta = *c.bases;
    *utilizable = true;
    return pasos;
}

#include "paso_imagenes.h"

#include "config/ajustes.h"
#include "ftp/clsftp.h"
#include "services/basesdd.h"
#include "services/dearchivos.h"

#include <QDir>
#include <QLoggingCategory>

using namespace Qt::StringLiterals;

Q_DECLARE_LOGGING_CATEGORY(lcNombres)

QStringList ArchivosDeImagen(const QString& carpeta, const QString& clave) {
    if (carpeta.isEmpty() || clave.isEmpty())
        return {};
    const QDir dir(carpeta);
    const QString prefijo = clave + u'.';
    QStringList archivos;
    // Compared by hand: a key may hold characters that a name filter would take as wildcards.
    for (const QString& nombre :
         dir.entryList(QDir::Files | QDir::Readable | QDir::Hidden, QDir::Name | QDir::IgnoreCase))
        if (nombre.size() > prefijo.size() && nombre.startsWith(prefijo, Qt::CaseInsensitive))
            archivos.append(nombre);
    return archivos;
}

PasoImagenes::PasoImagenes(BasesDD& web, Conexion& cn, const Ajustes& ajustes,
                           const QString& columnaLlave, const QString& carpetaPrograma, clsFTP& ftp)
    : m_web(web)
    , m_cn(cn)
    , m_ajustes(ajustes)
    , m_columnaLlave(columnaLlave)
    , m_carpetaPrograma(carpetaPrograma)
    , m_ftp(ftp) {}

bool PasoImagenes::conectar(QString* error) {
    if (m_ftp.IsConnected())
        return true;
    m_ftp.SetAcceptedInsecureHost(m_ajustes.ServidorFTPAceptado);
    if (m_ftp.OpenConnection(m_ajustes.DireccionFTP, m_ajustes.UsuarioFTP, m_ajustes.PasswordFTP))
        return true;
    *error = m_ftp.GetLastErrorMessage();
    return false;
}

PasoImagenes::Cuenta PasoImagenes::enviarProducto(const QString& clave) {
    Cuenta cuenta;
    for (const QString& archivo : ArchivosDeImagen(m_ajustes.CarpetaImagenesProductos, clave)) {
        const QString local = m_ajustes.CarpetaImagenesProductos + archivo;
        const QString remoto = m_ajustes.CarpetaFTP + DeArchivos::NombreDeArchivo(local);
        QString error;
        bool bien = conectar(&error);
        if (bien) {
            bien = m_ftp.FTPUploadFile(local, remoto);
            // A connection that dropped since the last file is opened again once.
            if (!bien && !m_ftp.IsConnected() && conectar(&error))
                bien = m_ftp.FTPUploadFile(local, remoto);
            if (!bien)
                error = m_ftp.GetLastErrorMessage();
        }
        if (bien)
            bien = registrar(clave, archivo, &error);
        if (bien) {
            ++cuenta.subidas;
        } else {
            ++cuenta.fallidas;
            qCWarning(lcNombres).noquote()
                << u"Imagen «%1» del producto «%2» no enviada: %3"_s.arg(archivo, clave, error);
        }
    }
    return cuenta;
}

bool PasoImagenes::registrar(const QString& clave, const QString& archivo, QString* error) {
    const Ajustes& a = m_ajustes;
    if (!m_web.AbrirBdD(m_cn, m_web.cMiBase)) {
        *error = m_cn.ultimoError();
        return false;
    }
    Recordset fila;
    const bool hay = m_web.AbrirTabla(
        fila, m_cn, Consulta(a.TablaProductosWeb).donde_(m_columnaLlave, clave).limitar(1));
    if (!fila.abierto()) {
        *error = fila.ultimoError();
        return false;
    }
    if (!hay) {
        *error = u"el producto no está en la tabla %1"_s.arg(a.TablaProductosWeb);
        return false;
    }
    bool existe = false;
    const Valor identificador = fila.valor(a.LlaveProductosImagen, &existe);
    if (!existe) {
        *error = u"la tabla %1 no tiene la columna «%2»"_s.arg(a.TablaProductosWeb,
                                                               a.LlaveProductosImagen);
        return false;
    }
    const Condicion condicion{{a.LlaveTablaExternaImagen, identificador}};
    Consulta busqueda(a.TablaExternaImagenes);
    busqueda.donde = condicion;
    busqueda.limite = 1;
    Recordset imagen;
    const bool tiene = m_web.AbrirTabla(imagen, m_cn, busqueda);
    if (!imagen.abierto()) {
        *error = imagen.ultimoError();
        return false;
    }
    if (!tiene) {
        if (!m_defectosLeidos) {
            m_defectos = LeerValoresIniciales(
                rutaValoresIniciales(m_carpetaPrograma, a.TablaExternaImagenes));
            m_defectosLeidos = true;
        }
        imagen.AddNew();
        imagen.fijar(a.LlaveTablaExternaImagen, identificador);
        AsignarValoresIniciales(m_defectos, imagen, QDateTime::currentDateTime());
        if (!imagen.Update()) {
            *error = imagen.ultimoError();
            return false;
        }
    }
    const QString nombre = a.PrefijoCampoImagen + archivo;
    if (!m_cn.Execute(Sql::update(m_cn, a.TablaExternaImagenes, {a.CampoExternaImagen}, {nombre},
                                  condicion, 1))) {
        *error = m_cn.ultimoError();
        return false;
    }
    return true;
}

void PasoImagenes::terminar() {
    m_ftp.CloseConnection();
}

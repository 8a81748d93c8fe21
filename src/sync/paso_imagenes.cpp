#include "paso_imagenes.h"

#include "bitacora_envio.h"
#include "config/ajustes.h"
#include "config/certificado_ftp.h"
#include "ftp/clsftp.h"
#include "ftp/destino_ftp.h"
#include "lote_sql.h"
#include "manifiesto_imagenes.h"
#include "services/basesdd.h"
#include "texto_tienda.h"
#include "ventana_envio.h"

#include <QDir>

using namespace Qt::StringLiterals;

namespace {
// Keys per look-up of shop rows: a few kilobytes of statement, far under any packet limit.
constexpr qsizetype ClavesPorConsulta = 500;
// Statements of one round trip when recording; well under any server's packet limit.
constexpr qint64 BytesPorViaje = 1 << 20;
// The column of the shop's product table that holds the main picture.
const QString ColumnaPrincipal = u"image"_s;

// Text as the shop's usual collations compare it: without letter case and trailing blanks.
QString comoColacion(QString texto) {
    while (texto.endsWith(u' '))
        texto.chop(1);
    return texto.toCaseFolded();
}
} // namespace

CarpetaImagenes::CarpetaImagenes(const QString& carpeta) {
    if (carpeta.isEmpty())
        return;
    // A file belongs to each key it starts with followed by a dot and something more ("A.B.png"
    // to keys "A.B" and "A"). Compared by hand: a key may hold characters that a name filter would
    // take as wildcards.
    for (const QString& nombre : QDir(carpeta).entryList(
             QDir::Files | QDir::Readable | QDir::Hidden, QDir::Name | QDir::IgnoreCase))
        for (qsizetype punto = nombre.indexOf(u'.'); punto > 0 && punto < nombre.size() - 1;
             punto = nombre.indexOf(u'.', punto + 1))
            m_porClave[nombre.left(punto).toLower()].append(nombre);
}

QStringList CarpetaImagenes::de(const QString& clave) const {
    return clave.isEmpty() ? QStringList() : m_porClave.value(clave.toLower());
}

QStringList ArchivosDeImagen(const QString& carpeta, const QString& clave) {
    return CarpetaImagenes(carpeta).de(clave);
}

PasoImagenes::PasoImagenes(BasesDD& web, Conexion& cn, const Ajustes& ajustes,
                           const QString& columnaLlave, const QString& carpetaPrograma, clsFTP* ftp)
    : m_web(web)
    , m_cn(cn)
    , m_ajustes(ajustes)
    , m_columnaLlave(columnaLlave)
    , m_carpetaPrograma(carpetaPrograma)
    , m_ftpPropio(ftp ? nullptr : std::make_unique<clsFTP>())
    , m_ftp(ftp ? *ftp : *m_ftpPropio) {}

PasoImagenes::~PasoImagenes() = default;

QList<PasoImagenes::Producto> PasoImagenes::productosDe(Recordset& productos) {
    QList<Producto> lista;
    for (productos.MoveFirst(); !productos.Eof(); productos.MoveNext())
        lista.append({productos.valor(u"Clave"_s).texto(), productos.valor(u"Descrip"_s).texto()});
    return lista;
}

bool PasoImagenes::conectar(QString* error) {
    // Never a login with the empty user or password a value under another key leaves.
    if (const QString ilegibles = motivoIlegibles(m_ajustes, true); !ilegibles.isEmpty()) {
        *error = ilegibles;
        return false;
    }
    PrepararClienteFTP(m_ftp, m_ajustes);
    if (m_ftp.OpenConnection(m_ajustes.DireccionFTP, m_ajustes.UsuarioFTP, m_ajustes.PasswordFTP))
        return true;
    *error = MensajeErrorFTP(m_ftp, m_ajustes);
    return false;
}

QString PasoImagenes::nombreRemoto(const QString& archivo) const {
    return m_ajustes.CarpetaFTP + archivo;
}

bool PasoImagenes::prepararServidor(QString* error) {
    if (!conectar(error))
        return false;
    // "Carpeta del FTP" is put before the file name: its folder is up to the last slash.
    const QString& prefijo = m_ajustes.CarpetaFTP;
    const QString carpeta = prefijo.left(prefijo.lastIndexOf(u'/') + 1);
    if (!carpeta.isEmpty() && !m_ftp.CreateFTPDirectoryPath(carpeta)) {
        *error = m_ftp.GetLastErrorMessage();
        return false;
    }
    // One listing gives what is on the server: an empty or unreadable folder sends everything.
    m_remotos.clear();
    const QString resto = prefijo.mid(carpeta.size());
    const cDirList* lista = m_ftp.GetDirectoryListing(carpeta.isEmpty() ? QString() : carpeta);
    if (!lista)
        return true;
    for (const cDirItem& e : *lista) {
        if (e.Directory)
            continue;
        if (clsFTP::IsPartialUploadName(e.filename)) {
            // An upload of an earlier pass was cut off before its rename.
            if (m_ftp.DeleteFTPFile(carpeta + e.filename))
                qCInfo(lcNombres).noquote()
                    << u"Se borró del servidor el envío incompleto «%1»"_s.arg(e.filename);
            continue;
        }
        if (e.filename.startsWith(resto))
            m_remotos.insert(e.filename.mid(resto.size()), e.FileSize);
    }
    return true;
}

PasoImagenes::Cuenta PasoImagenes::enviar(const QList<Producto>& productos,
                                          std::atomic<bool>& interrumpir, VentanaEnvio& ventana) {
    const Ajustes& a = m_ajustes;
    Cuenta cuenta;
    ManifiestoImagenes manifiesto(ManifiestoImagenes::rutaPara(a.RutaIni));
    QList<Registro> registros;
    bool preparado = false;
    QString sinServidor; // why no more file can be sent
    QString origen;      // server and login folder, for the manifest's keys
    const qint64 total = productos.size();
    const CarpetaImagenes carpeta(a.CarpetaImagenesProductos);
    qint64 n = 0;
    for (const Producto& p : productos) {
        ++n;
        if (interrumpir) {
            cuenta.interrumpido = true;
            break;
        }
        ventana.imagenProducto(p.clave, p.descripcion, n, total);
        const QStringList archivos = carpeta.de(p.clave);
        if (archivos.isEmpty())
            continue;
        if (!sinServidor.isEmpty()) {
            cuenta.fallidas += archivos.size();
            continue;
        }
        // On the server and in the shop's URLs both slashes separate folders: the picture would
        // land under another name, possibly another product's ("X\P0001.png" as "P0001.png").
        if (p.clave.contains(u'\\') || p.clave.contains(u'/')) {
            cuenta.fallidas += archivos.size();
            if (cuenta.motivo.isEmpty())
                cuenta.motivo =
                    u"la clave «%1» lleva «\\» o «/», que en el servidor separan carpetas"_s.arg(
                        p.clave);
            qCWarning(lcNombres).noquote()
                << u"Imágenes del producto «%1» no enviadas: la clave lleva «\\» o «/», que en el "
                   u"servidor separan carpetas, y la imagen quedaría con otro nombre"_s.arg(
                       p.clave);
            continue;
        }
        if (!preparado) {
            QString error;
            if (!prepararServidor(&error)) {
                sinServidor = error;
                cuenta.motivo = error;
                cuenta.fallidas += archivos.size();
                continue;
            }
            preparado = true;
            origen = a.UsuarioFTP + u'@' + DestinoFTP::sinContrasena(a.DireccionFTP.trimmed()) +
                     m_ftp.GetFTPDirectory();
        }
        Registro registro{p.clave, {}, 0, 0};
        ventana.subiendoArchivos(true);
        for (qsizetype i = 0; i < archivos.size(); ++i) {
            const QString& archivo = archivos[i];
            const QString local = a.CarpetaImagenesProductos + archivo;
            const QString remoto = nombreRemoto(archivo);
            const QString clave = origen + u'|' + remoto;
            qint64 tamano = -1;
            const QByteArray huella = ManifiestoImagenes::huellaDe(local, &tamano);
            if (!huella.isEmpty() && manifiesto.subido(clave, huella, tamano) &&
                m_remotos.value(archivo, -1) == tamano) {
                ++registro.sinCambios;
                registro.archivos.append(archivo);
                continue;
            }
            bool bien = m_ftp.FTPUploadFile(local, remoto);
            // A dropped connection is opened again once; a server that cannot be reached or
            // refuses the login ends the uploads.
            QString error;
            if (!bien && m_ftp.LastErrorIsConnectionFailure()) {
                if (conectar(&error))
                    bien = m_ftp.FTPUploadFile(local, remoto);
                else
                    sinServidor = error;
            }
            if (bien) {
                if (!huella.isEmpty())
                    manifiesto.anotar(clave, huella, tamano);
                m_remotos.insert(archivo, tamano);
                ++registro.subidas;
                registro.archivos.append(archivo);
                continue;
            }
            ++cuenta.fallidas;
            if (!sinServidor.isEmpty()) {
                cuenta.fallidas += archivos.size() - i - 1;
                if (cuenta.motivo.isEmpty())
                    cuenta.motivo = sinServidor;
                break;
            }
            if (cuenta.motivo.isEmpty())
                cuenta.motivo = u"«%1»: %2"_s.arg(archivo, m_ftp.GetLastErrorMessage());
            qCWarning(lcNombres).noquote() << u"Imagen «%1» del producto «%2» no enviada: %3"_s.arg(
                archivo, p.clave, m_ftp.GetLastErrorMessage());
        }
        ventana.subiendoArchivos(false);
        cuenta.subidas += registro.subidas;
        cuenta.sinCambios += registro.sinCambios;
        if (!registro.archivos.isEmpty())
            registros.append(registro);
    }
    m_ftp.CloseConnection();
    if (!sinServidor.isEmpty())
        qCCritical(lcNombres).noquote()
            << u"No se enviaron imágenes al servidor FTP: %1"_s.arg(sinServidor);
    QString error;
    if (!manifiesto.guardar(&error))
        qCWarning(lcNombres).noquote()
            << u"No se guardó el registro de imágenes enviadas (la próxima vez se envían de "
               u"nuevo): %1"_s.arg(error);
    if (cuenta.sinCambios > 0)
        qCInfo(lcNombres).noquote()
            << u"Imágenes sin cambios desde su último envío (no se suben de nuevo): %1"_s.arg(
                   cuenta.sinCambios);
    registrar(registros, cuenta);
    return cuenta;
}

bool PasoImagenes::leerPorClaves(const QString& tabla, const QString& columna,
                                 const QStringList& columnas, const QStringList& valores,
                                 QHash<QString, QList<Valor>>& filas, QString* error) {
    QStringList lista;
    for (const QString& c : columnas)
        lista.append(Conexion::identificador(c));
    const QString inicio = u"SELECT "_s + lista.join(u',') + u" FROM "_s +
                           Conexion::identificador(tabla) + u" WHERE "_s;
    const QString condicion = Conexion::identificador(columna);
    for (qsizetype desde = 0; desde < valores.size(); desde += ClavesPorConsulta) {
        const QStringList trozo = valores.mid(desde, ClavesPorConsulta);
        QStringList literales;
        for (const QString& v : trozo)
            literales.append(m_cn.literal(v));
        // The server decides which rows match (the column's collation); each row is then given
        // back to its key: the same text first, else the same under case and trailing blanks.
        ResultadoConsulta r;
        if (!m_cn.consultar(inicio + condicion + u" IN ("_s + literales.join(u',') + u')', r)) {
            *error = m_cn.ultimoError();
            return false;
        }
        QList<bool> reclamada(r.filas.size(), false);
        QStringList sinFila;
        for (const QString& v : trozo) {
            qsizetype hallada = -1;
            for (qsizetype i = 0; i < r.filas.size() && hallada < 0; ++i)
                if (!r.filas[i][0].esNulo() && r.filas[i][0].texto() == v)
                    hallada = i;
            const QString comparable = comoColacion(v);
            for (qsizetype i = 0; i < r.filas.size() && hallada < 0; ++i)
                if (!r.filas[i][0].esNulo() && comoColacion(r.filas[i][0].texto()) == comparable)
                    hallada = i;
            if (hallada < 0) {
                sinFila.append(v);
                continue;
            }
            reclamada[hallada] = true;
            filas.insert(v, r.filas[hallada]);
        }
        // Rows that no key claimed matched under a rule of the collation not followed here
        // (accents, expansions): those keys are looked up one by one, as the server compares.
        if (!reclamada.contains(false))
            continue;
        for (const QString& v : std::as_const(sinFila)) {
            ResultadoConsulta una;
            if (!m_cn.consultar(inicio + condicion + u'=' + m_cn.literal(v) + u" LIMIT 1"_s, una)) {
                *error = m_cn.ultimoError();
                return false;
            }
            if (!una.filas.isEmpty())
                filas.insert(v, una.filas.first());
        }
    }
    return true;
}

void PasoImagenes::registrar(const QList<Registro>& registros, Cuenta& cuenta) {
    if (registros.isEmpty())
        return;
    const Ajustes& a = m_ajustes;
    auto fallar = [&](const Registro& r, const QString& error) {
        cuenta.subidas -= r.subidas;
        cuenta.sinCambios -= r.sinCambios;
        cuenta.fallidas += r.archivos.size();
        if (cuenta.motivo.isEmpty())
            cuenta.motivo = u"no se registraron en la tienda las del producto «%1»: %2"_s.arg(
                r.clave, sinSentencia(error));
        qCWarning(lcNombres).noquote()
            << u"Imágenes del producto «%1» no registradas en la tienda: %2"_s.arg(r.clave, error);
    };
    auto fallarTodas = [&](const QString& error) {
        for (const Registro& r : registros)
            fallar(r, error);
    };
    if (!m_web.AbrirBdD(m_cn, m_web.cMiBase))
        return fallarTodas(m_cn.ultimoError());
    Recordset estructura;
    m_web.AbrirTabla(estructura, m_cn, Consulta(a.TablaProductosWeb).limitar(0));
    if (!estructura.abierto())
        return fallarTodas(estructura.ultimoError());
    if (estructura.indice(a.LlaveProductosImagen) < 0)
        return fallarTodas(u"la tabla %1 no tiene la columna «%2»"_s.arg(a.TablaProductosWeb,
                                                                         a.LlaveProductosImagen));
    QStringList columnas{m_columnaLlave, a.LlaveProductosImagen};
    const int principal = estructura.indice(ColumnaPrincipal);
    if (principal >= 0)
        columnas.append(estructura.campo(principal).Name);

    for (qsizetype desde = 0; desde < registros.size(); desde += ClavesPorConsulta) {
        const QList<Registro> grupo = registros.mid(desde, ClavesPorConsulta);
        QList<std::pair<qsizetype, QString>> fallos;
        QString error;
        bool bien = registrarGrupo(grupo, columnas, principal, &fallos, &error);
        if (!bien && !m_cn.abierta() && m_web.AbrirBdD(m_cn, m_web.cMiBase)) {
            fallos.clear();
            bien = registrarGrupo(grupo, columnas, principal, &fallos, &error);
        }
        if (!bien && !m_cn.abierta())
            return fallarTodas(error.isEmpty() ? m_cn.ultimoError() : error);
        if (!bien) {
            // One product at a time, from what the shop holds now, to find the one at fault.
            qCWarning(lcNombres).noquote()
                << u"El registro de imágenes de %1 productos falló (%2); se registran uno a uno"_s
                       .arg(grupo.size())
                       .arg(error);
            fallos.clear();
            for (qsizetype i = 0; i < grupo.size(); ++i) {
                QList<std::pair<qsizetype, QString>> suyos;
                if (!registrarGrupo({grupo[i]}, columnas, principal, &suyos, &error))
                    suyos = {{0, error}};
                for (const auto& f : std::as_const(suyos))
                    fallos.append({i, f.second});
            }
        }
        for (const auto& [i, porque] : std::as_const(fallos))
            fallar(grupo[i], porque);
    }
}

bool PasoImagenes::registrarGrupo(const QList<Registro>& grupo, const QStringList& columnas,
                                  int principal, QList<std::pair<qsizetype, QString>>* fallos,
                                  QString* error) {
    const Ajustes& a = m_ajustes;
    // The shop stores its key column encoded like any text; picture names are never encoded.
    QStringList busquedas;
    for (const Registro& r : grupo)
        busquedas.append(a.CodificarTexto ? CodificarComoTienda(r.clave) : r.clave);
    QHash<QString, QList<Valor>> productos;
    if (!leerPorClaves(a.TablaProductosWeb, m_columnaLlave, columnas, busquedas, productos, error))
        return false;
    QStringList identificadores;
    for (const QString& b : std::as_const(busquedas))
        if (productos.contains(b) && !productos[b][1].esNulo())
            identificadores.append(productos[b][1].texto());
    QHash<QString, QList<Valor>> imagenes;
    if (!leerPorClaves(a.TablaExternaImagenes, a.LlaveTablaExternaImagen,
                       {a.LlaveTablaExternaImagen, a.CampoExternaImagen}, identificadores, imagenes,
                       error))
        return false;

    LoteSql lote(m_cn, envioPorLotes(a), BytesPorViaje);
    for (qsizetype i = 0; i < grupo.size(); ++i) {
        const Registro& r = grupo[i];
        const auto p = productos.constFind(busquedas[i]);
        if (p == productos.cend()) {
            fallos->append({i, u"el producto no está en la tabla %1"_s.arg(a.TablaProductosWeb)});
            continue;
        }
        Escritura w;
        w.identificador = p->at(1);
        if (w.identificador.esNulo()) {
            fallos->append({i, u"su columna «%1» está vacía"_s.arg(a.LlaveProductosImagen)});
            continue;
        }
        // One picture row per product: it ends with the name found last.
        w.imagen = a.PrefijoCampoImagen + r.archivos.last();
        const auto fila = imagenes.constFind(w.identificador.texto());
        w.crearFila = fila == imagenes.cend();
        // Compared here, byte for byte: SQL would take names differing in case as equal.
        w.cambiarImagen = !w.crearFila && (fila->at(1).esNulo() || fila->at(1).texto() != w.imagen);
        if (principal >= 0 && (p->at(2).esNulo() || p->at(2).texto().isEmpty())) {
            w.fijarPrincipal = true;
            w.principal = a.PrefijoCampoImagen + r.archivos.first();
        }
        encolar(w, lote);
        // Two keys of the group may find the same product: the second sees the first's row.
        imagenes.insert(w.identificador.texto(), {w.identificador, w.imagen});
    }
    // On a transactional shop the run's session does not commit by itself.
    if (!m_cn.opciones().autocommit && !lote.vacio())
        lote.escritura(u"COMMIT"_s);
    if (lote.enviar(error))
        return true;
    if (!m_cn.opciones().autocommit && m_cn.abierta())
        m_cn.Execute(u"ROLLBACK"_s);
    return false;
}

void PasoImagenes::encolar(const Escritura& w, LoteSql& lote) {
    const Ajustes& a = m_ajustes;
    if (w.crearFila) {
        if (!m_defectosLeidos) {
            m_defectos = LeerValoresIniciales(
                rutaValoresIniciales(m_carpetaPrograma, a.TablaExternaImagenes));
            m_defectosLeidos = true;
        }
        // The defaults first: the product and the name always win.
        Recordset alta;
        alta.AddNew();
        AsignarValoresIniciales(m_defectos, alta, QDateTime::currentDateTime());
        alta.fijar(a.LlaveTablaExternaImagen, w.identificador);
        alta.fijar(a.CampoExternaImagen, w.imagen);
        lote.escritura(alta.sentenciaAlta(m_cn, a.TablaExternaImagenes));
    } else if (w.cambiarImagen) {
        lote.escritura(Sql::update(m_cn, a.TablaExternaImagenes, {a.CampoExternaImagen}, {w.imagen},
                                   {{a.LlaveTablaExternaImagen, w.identificador}}, 1));
    }
    if (w.fijarPrincipal) {
        // Only while it is still empty: a main picture chosen meanwhile in the shop stays.
        const QString columna = Conexion::identificador(ColumnaPrincipal);
        lote.escritura(u"UPDATE "_s + Conexion::identificador(a.TablaProductosWeb) + u" SET "_s +
                       columna + u'=' + m_cn.literal(w.principal) + u" WHERE "_s +
                       Conexion::identificador(a.LlaveProductosImagen) + u'=' +
                       m_cn.literal(w.identificador) + u" AND ("_s + columna + u" IS NULL OR "_s +
                       columna + u"='') LIMIT 1"_s);
    }
}

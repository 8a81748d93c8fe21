#include "ajustes.h"

#include "../ftp/destino_ftp.h"
#include "../services/archivo_ini.h"
#include "../services/basesdd.h"
#include "../services/delregistro.h"
#include "../services/libqvtx.h"
#include "../services/numeros.h"
#include "../services/texto_seguro.h"
#include "../services/tunel_ssh.h"
#include "../services/utilerias.h"
#include "certificado_ftp.h"

#include <QDir>
#include <QLoggingCategory>

#include <algorithm>

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcAjustes, "vendaro.ajustes")

const QList<ClaveAjuste>& clavesAjustes() {
    static const QList<ClaveAjuste> claves{
        {u"Usuario WEB"_s, u"Usuario"_s, true, &Ajustes::UsuarioWeb, nullptr, 3},
        {u"Contraseña WEB"_s, u"Lanterna"_s, true, &Ajustes::ContrasenaWeb, nullptr, 5},
        {u"Dirección IP"_s, u"IP"_s, true, &Ajustes::DireccionIP, nullptr, 4},
        {u"Base de datos WEB"_s, u"BaseDeDatos"_s, true, &Ajustes::BaseDatosWeb, nullptr, 2},
        {u"Nombre de la tabla"_s, u"productos"_s, true, &Ajustes::TablaProductosWeb, nullptr, 6},
        {u"Puerto"_s, u"3306"_s, false, nullptr, nullptr, 7, false, &Ajustes::PuertoWeb},
        {u"Intervalo en minutos para enviar existencias"_s, u"0"_s, false, nullptr,
         &Ajustes::IntervaloMinutos, 1},
        {u"Campo en productos para talla o color"_s, u"campo llave toc"_s, true,
         &Ajustes::CampoTallaColor, nullptr, 8},
        {u"Tabla externa para imágenes"_s, u"tabla externa imágenes"_s, true,
         &Ajustes::TablaExternaImagenes, nullptr, 9},
        {u"Llave en productos para imagen"_s, u"Llave en productos"_s, true,
         &Ajustes::LlaveProductosImagen, nullptr, 10},
        {u"Llave en tabla externa para imagen"_s, u"Llave en tabla externa"_s, true,
         &Ajustes::LlaveTablaExternaImagen, nullptr, 11},
        {u"Dirección del FTP"_s, u"URL FTP"_s, true, &Ajustes::DireccionFTP, nullptr, 12},
        {u"Carpeta del FTP"_s, u"Carpeta FTP"_s, true, &Ajustes::CarpetaFTP, nullptr, 13},
        {u"Usuario del FTP"_s, u"Usuario FTP"_s, true, &Ajustes::UsuarioFTP, nullptr, 14},
        {u"Password del FTP"_s, u"Lanterna FTP"_s, true, &Ajustes::PasswordFTP, nullptr, 15},
        {u"Campo en tabla externa para imagen"_s, u"Campo externa imagen"_s, true,
         &Ajustes::CampoExternaImagen, nullptr, 16},
        {u"Prefijo para el campo en tabla de imagen"_s, u"Prefijo campo imagen"_s, true,
         &Ajustes::PrefijoCampoImagen, nullptr, 17, true},
        {u"Tiendas"_s, u"0"_s, false, &Ajustes::Tiendas, nullptr, -1, true},
        {u"Codificar texto como la tienda"_s, u"1"_s, false, nullptr, nullptr, -1, false, nullptr,
         &Ajustes::CodificarTexto},
        {u"Modo de envío"_s, ModoPorLotes, false, &Ajustes::ModoEnvio, nullptr, -1, true},
        {u"Comprimir conexión WEB"_s, u"1"_s, false, nullptr, nullptr, -1, false, nullptr,
         &Ajustes::ComprimirWeb},
        {u"Categorías"_s, u"no"_s, false, &Ajustes::Categorias, nullptr, -1, true},
        {u"Marcas como fabricantes"_s, u"0"_s, false, nullptr, nullptr, -1, false, nullptr,
         &Ajustes::MarcasComoFabricantes},
        {u"Direcciones SEO"_s, u"0"_s, false, nullptr, nullptr, -1, false, nullptr,
         &Ajustes::DireccionesSeo},
        {u"Productos que ya no están"_s, u"dejar"_s, false, &Ajustes::ProductosQueYaNoEstan,
         nullptr, -1, true},
        {u"Límite de bajas"_s, u"10 %"_s, false, &Ajustes::LimiteBajas, nullptr, -1, true},
        {u"Estado sin existencias"_s, QString(), false, &Ajustes::EstadoSinExistencias, nullptr, -1,
         true, nullptr, nullptr, true},
        {u"Carpeta de caché de la tienda"_s, QString(), false, &Ajustes::CarpetaCacheTienda,
         nullptr, -1, true, nullptr, nullptr, true},
        {ClaveAceptarCertificadoFTP, QString(), false, &Ajustes::ServidorFTPAceptado, nullptr, -1,
         true, nullptr, nullptr, true},
        {u"Conexión segura WEB"_s, u"preferida"_s, false, &Ajustes::ConexionSeguraWeb, nullptr, -1,
         true, nullptr, nullptr, true},
        {u"Certificado CA WEB"_s, QString(), false, &Ajustes::CertificadoCaWeb, nullptr, -1, true,
         nullptr, nullptr, true},
        {u"Túnel SSH"_s, QString(), false, &Ajustes::TunelSsh, nullptr, -1, true, nullptr, nullptr,
         true},
        {u"Usuario SSH"_s, QString(), true, &Ajustes::UsuarioSsh, nullptr, -1, true, nullptr,
         nullptr, true},
        {u"Password SSH"_s, QString(), true, &Ajustes::PasswordSsh, nullptr, -1, false, nullptr,
         nullptr, true},
        {u"Llave SSH"_s, QString(), false, &Ajustes::LlaveSsh, nullptr, -1, true, nullptr, nullptr,
         true},
        {u"Frase de la llave SSH"_s, QString(), true, &Ajustes::FraseLlaveSsh, nullptr, -1, false,
         nullptr, nullptr, true},
    };
    return claves;
}

const ClaveAjuste* claveDeCampo(int campo) {
    static const ClaveAjuste basePrincipal{
        ClaveBasePrincipal, DefectoBasePrincipal, false, nullptr, nullptr, 0};
    if (campo == 0)
        return &basePrincipal;
    for (const ClaveAjuste& c : clavesAjustes())
        if (c.campo == campo)
            return &c;
    return nullptr;
}

bool CargarAjustes(Ajustes& ajustes, const libQVTX& qvtx, const Utilerias& utilerias,
                   QString* error) {
    QList<std::pair<QString, QString>> defectos; // keys that get their default in the file
    ajustes.Ilegibles.clear();
    for (const ClaveAjuste& c : clavesAjustes()) {
        QString valor = qvtx.LeeIni(SeccionConfiguracion, c.clave, ajustes.RutaIni);
        if (c.opcional && valor.trimmed().isEmpty()) {
            valor = c.defecto;
        } else if (valor.isEmpty()) {
            const QString guardado = c.cifrada ? utilerias.Encripta(c.defecto) : c.defecto;
            // Without a usable key the placeholder is not written; the next start writes it.
            if (!guardado.isEmpty() || c.defecto.isEmpty())
                defectos.append({c.clave, guardado});
            valor = c.defecto;
        } else if (c.cifrada) {
            bool bien = true;
            valor = utilerias.DesEncripta(valor, &bien);
            if (!bien)
                ajustes.Ilegibles.append(c.clave);
        }
        if (c.recortar)
            valor = valor.trimmed();
        // A number that does not convert keeps the key's default and says so in the log.
        auto numero = [&](std::optional<int> convertido, const QString& rango) {
            if (!convertido)
                qCWarning(lcAjustes).noquote()
                    << u"El valor «%1» de «%2» no es %3; se usa %4"_s.arg(valor, c.clave, rango,
                                                                          c.defecto);
            return convertido ? *convertido : c.defecto.toInt();
        };
        if (c.texto)
            ajustes.*c.texto = valor;
        else if (c.entero)
            ajustes.*c.entero =
                qint16(numero(entero16(valor), u"un número entero entre -32768 y 32767"_s));
        else if (c.puerto)
            ajustes.*c.puerto = numero(puertoTcp(valor), u"un número de puerto entre 0 y 65535"_s);
        else if (c.booleano)
            ajustes.*c.booleano = numero(entero16(valor), u"0 ni 1"_s) != 0;
    }
    if (!tiendasDe(ajustes.Tiendas)) {
        qCWarning(lcAjustes).noquote()
            << u"El valor «%1» de «Tiendas» no es una lista de números de tienda; se usa 0"_s.arg(
                   ajustes.Tiendas);
        ajustes.Tiendas = u"0"_s;
    }
    if (!ajustes.Ilegibles.isEmpty())
        qCCritical(lcAjustes).noquote()
            << motivoIlegibles(ajustes, false) << motivoIlegibles(ajustes, true);
    textoSeguro::ocultar(ajustes.ContrasenaWeb);
    textoSeguro::ocultar(ajustes.PasswordFTP);
    textoSeguro::ocultar(ajustes.PasswordSsh);
    textoSeguro::ocultar(ajustes.FraseLlaveSsh);
    ajustes.UsaTallasOColores = false;
    ajustes.UsaTallas = false;
    // Every default in one rewrite: a file that cannot take them is reported, never half written.
    return defectos.isEmpty() ||
           qvtx.EscribeIniVarios(SeccionConfiguracion, defectos, ajustes.RutaIni, error);
}

namespace {
const QStringList ClavesFtp{u"Dirección del FTP"_s, u"Carpeta del FTP"_s, u"Usuario del FTP"_s,
                            u"Password del FTP"_s};
}

QString motivoIlegibles(const Ajustes& ajustes, bool ftp) {
    QStringList claves;
    for (const QString& c : ajustes.Ilegibles)
        if (ClavesFtp.contains(c) == ftp)
            claves.append(u'«' + c + u'»');
    if (claves.isEmpty())
        return {};
    return u"Los valores cifrados %1 no se pueden leer: la llave no corresponde a estos valores "
           u"(están cifrados con otra llave). Escríbalos de nuevo en la configuración, o ponga en "
           u"su lugar la llave con que se cifraron."_s.arg(claves.join(u", "_s));
}

ModoTls modoTlsTienda(const QString& texto, bool* valido) {
    const QString t = texto.trimmed().toLower();
    if (valido)
        *valido = true;
    if (t == u"preferida"_s)
        return ModoTls::Preferido;
    if (t == u"exigida"_s)
        return ModoTls::Exigido;
    if (t == u"verificada"_s)
        return ModoTls::Verificado;
    if (valido)
        *valido = false;
    return ModoTls::Exigido;
}

void ConexionTienda(BasesDD& web, const Ajustes& ajustes) {
    web.cIlegible = motivoIlegibles(ajustes, false);
    web.cMiBase = ajustes.BaseDatosWeb;
    web.cRuta = ajustes.DireccionIP;
    web.cUsuario = ajustes.UsuarioWeb;
    web.cPassword = ajustes.ContrasenaWeb;
    web.cPuerto = ajustes.PuertoWeb;
    OpcionesTlsTienda(web.opciones, ajustes);
    web.opciones.tunel.reset();
    if (ajustes.TunelSsh.trimmed().isEmpty())
        return;
    DatosTunel tunel;
    if (!DatosTunelTienda(ajustes, tunel)) {
        if (web.cIlegible.isEmpty())
            web.cIlegible = u"«Túnel SSH» = «%1» no es un servidor SSH (host, o host:puerto)"_s.arg(
                ajustes.TunelSsh);
        return;
    }
    web.opciones.tunel = std::make_shared<TunelSsh>(tunel);
}

bool DatosTunelTienda(const Ajustes& ajustes, DatosTunel& tunel) {
    if (!LeerDestinoTunel(ajustes.TunelSsh, tunel))
        return false;
    tunel.usuario = ajustes.UsuarioSsh.trimmed();
    tunel.contrasena = ajustes.PasswordSsh;
    tunel.llave = ajustes.LlaveSsh.trimmed();
    tunel.frase = ajustes.FraseLlaveSsh;
    tunel.servidoresConocidos = ArchivoServidoresConocidos();
    // The SSH login is typed once: pictures going by SFTP to the same host lend the tunnel theirs
    // when it has no user of its own.
    DestinoFTP ftp;
    if (tunel.usuario.isEmpty() && DestinoFTP::interpretar(ajustes.DireccionFTP, ftp, nullptr) &&
        ftp.protocolo == DestinoFTP::Protocolo::SFTP &&
        ftp.host.compare(tunel.servidor, Qt::CaseInsensitive) == 0 && ftp.puerto == tunel.puerto) {
        tunel.usuario = ajustes.UsuarioFTP.trimmed();
        if (tunel.llave.isEmpty() && tunel.contrasena.isEmpty())
            tunel.contrasena = ajustes.PasswordFTP;
    }
    return true;
}

void OpcionesTlsTienda(OpcionesConexion& opciones, const Ajustes& ajustes) {
    bool valido = true;
    opciones.tls = modoTlsTienda(ajustes.ConexionSeguraWeb, &valido);
    if (!valido)
        qCWarning(lcAjustes).noquote()
            << u"«%1» no es un valor de «Conexión segura WEB» (preferida, exigida o verificada); "
               u"se exige TLS"_s.arg(ajustes.ConexionSeguraWeb);
    opciones.certificadoCa = ajustes.CertificadoCaWeb;
    opciones.comprimir = ajustes.ComprimirWeb;
}

namespace {
// The box indexes in the order "Grabar" writes them.
constexpr int OrdenGrabar[NumeroCampos] = {0,  1,  3,  5,  4,  2,  6,  7,  9,
                                           10, 11, 12, 13, 14, 15, 16, 17, 8};

QString textoNumero(double valor) {
    return QString::number(valor, 'g', 15);
}
} // namespace

QList<std::pair<QString, QString>> listaGrabar(const QStringList& textos,
                                               const Utilerias& utilerias, QString* error) {
    QList<std::pair<QString, QString>> lista;
    for (int campo : OrdenGrabar) {
        const ClaveAjuste* c = claveDeCampo(campo);
        const QString texto = textos.value(campo);
        QString guardado = texto;
        if (c->cifrada) {
            guardado = utilerias.Encripta(texto);
            if (guardado.isEmpty()) {
                if (error) {
                    const QString causa = utilerias.cifrador().problemaLlave();
                    *error = u"No se pudo cifrar «%1»"_s.arg(c->clave) +
                             (causa.isEmpty() ? QString() : u": "_s + causa) + u'.';
                }
                return {};
            }
        } else if (c->entero || c->puerto)
            guardado = textoNumero(libQVTX::qvVal(texto));
        lista.append({c->clave, guardado});
    }
    return lista;
}

namespace {
const ClaveAjuste* claveDeNombre(const QString& nombre) {
    for (const ClaveAjuste& c : clavesAjustes())
        if (c.clave == nombre)
            return &c;
    return nullptr;
}
} // namespace

QList<std::pair<QString, QString>> listaGrabarOtras(const QHash<QString, QString>& otras,
                                                    const libQVTX& qvtx, const Utilerias& utilerias,
                                                    const QString& rutaIni, bool* bien,
                                                    QString* error) {
    QList<std::pair<QString, QString>> lista;
    *bien = true;
    auto agregar = [&](const QString& clave) {
        if (!otras.contains(clave))
            return;
        const QString valor = otras.value(clave);
        if (clave == ClaveRutaHost) {
            lista.append({clave, valor});
            return;
        }
        const ClaveAjuste* c = claveDeNombre(clave);
        if (!c || c->campo >= 0)
            return;
        const QString enArchivo = qvtx.LeeIni(SeccionConfiguracion, clave, rutaIni);
        if (c->opcional && enArchivo.trimmed().isEmpty() &&
            (valor.trimmed().isEmpty() || valor == c->defecto))
            return;
        QString guardado = valor;
        if (c->cifrada) {
            guardado = utilerias.Encripta(valor);
            if (guardado.isEmpty()) {
                if (error) {
                    const QString causa = utilerias.cifrador().problemaLlave();
                    *error = u"No se pudo cifrar «%1»"_s.arg(c->clave) +
                             (causa.isEmpty() ? QString() : u": "_s + causa) + u'.';
                }
                *bien = false;
                return;
            }
        }
        lista.append({clave, guardado});
    };
    agregar(ClaveRutaHost);
    for (const ClaveAjuste& c : clavesAjustes())
        agregar(c.clave);
    if (!*bien)
        lista.clear();
    return lista;
}

void aplicarTextos(Ajustes& ajustes, const QStringList& textos,
                   const QHash<QString, QString>& otras) {
    for (const ClaveAjuste& c : clavesAjustes()) {
        QString valor;
        if (c.campo >= 0)
            valor = textos.value(c.campo);
        else if (otras.contains(c.clave))
            valor = otras.value(c.clave);
        else
            continue;
        if (c.opcional && valor.trimmed().isEmpty())
            valor = c.defecto;
        if (c.recortar)
            valor = valor.trimmed();
        if (c.texto) {
            ajustes.*c.texto = valor;
        } else if (c.entero) {
            if (const auto n = entero16(valor))
                ajustes.*c.entero = qint16(*n);
        } else if (c.puerto) {
            if (const auto n = puertoTcp(valor))
                ajustes.*c.puerto = *n;
        } else if (c.booleano) {
            if (const auto n = entero16(valor))
                ajustes.*c.booleano = *n != 0;
        }
        // A value typed anew is a value of this key, whatever the old one was encrypted with.
        if (!valor.isEmpty())
            ajustes.Ilegibles.removeAll(c.clave);
    }
}

bool GrabarAjustes(const QStringList& textos, const libQVTX& qvtx, const Utilerias& utilerias,
                   const QString& rutaIni, QString* error, const QHash<QString, QString>& otras) {
    auto lista = listaGrabar(textos, utilerias, error);
    if (lista.isEmpty())
        return false;
    bool bien = true;
    lista += listaGrabarOtras(otras, qvtx, utilerias, rutaIni, &bien, error);
    if (!bien)
        return false;
    if (!qvtx.EscribeIniVarios(SeccionConfiguracion, lista, rutaIni)) {
        if (error)
            *error = u"No se pudo escribir el archivo de configuración "_s + rutaIni +
                     u" (la bitácora dice por qué)."_s;
        return false;
    }
    return true;
}

QString ComprobarLlave(const libQVTX& qvtx, const Utilerias& utilerias, const QString& rutaIni) {
    ArchivoIni ini;
    ini.cargar(rutaIni);
    QStringList valores = ini.valores();
    DelRegistro host;
    const QString archivoHost =
        host.BuscarRegistroVMW(qvtx.LeeIni(SeccionConfiguracion, ClaveRutaHost, rutaIni));
    if (!archivoHost.isEmpty() && ini.cargar(archivoHost))
        valores += ini.valores();
    const bool hayCifrados = std::any_of(valores.cbegin(), valores.cend(), &Cifrador::estaCifrado);
    if (!hayCifrados)
        return {};
    const Cifrador& cifrador = utilerias.cifrador();
    QString problema = cifrador.problemaLlave();
    if (problema.isEmpty()) {
        const qsizetype cuantos = cifrador.ilegibles(valores).size();
        if (cuantos == 0)
            return {};
        problema = u"la llave no corresponde a estos valores (%1 de ellos no se abren con la llave "
                   u"%2: se cifraron con otra)"_s.arg(cuantos)
                       .arg(QDir::toNativeSeparators(cifrador.rutaLlave()));
    }
    Cifrador::impedirLlaveNueva(true);
    const QString texto = u"Los valores cifrados no se pueden leer: "_s + problema + u'.';
    qCCritical(lcAjustes).noquote() << texto;
    return texto;
}

std::optional<QList<int>> tiendasDe(const QString& texto) {
    QList<int> tiendas;
    for (const QString& parte : texto.split(u',', Qt::SkipEmptyParts)) {
        bool bien = false;
        const int id = parte.trimmed().toInt(&bien);
        if (!bien || id < 0)
            return std::nullopt;
        if (!tiendas.contains(id))
            tiendas.append(id);
    }
    return tiendas;
}

bool envioPorLotes(const Ajustes& ajustes) {
    return ajustes.ModoEnvio.trimmed().compare(ModoPorProducto, Qt::CaseInsensitive) != 0;
}

namespace {
// Settings typed by hand: letter case, blanks and accents aside ("linea y sublinea").
QString sinAcentos(const QString& texto) {
    QString r;
    for (QChar c : texto.normalized(QString::NormalizationForm_D))
        if (c.category() != QChar::Mark_NonSpacing)
            r += c.toLower();
    return r.simplified();
}
} // namespace

ModoCategorias modoCategorias(const Ajustes& a) {
    const QString t = sinAcentos(a.Categorias);
    if (t.isEmpty() || t == u"no"_s || t == u"0"_s)
        return ModoCategorias::No;
    if (t == u"linea"_s)
        return ModoCategorias::Linea;
    if (t == u"linea y sublinea"_s)
        return ModoCategorias::LineaYSublinea;
    qCWarning(lcAjustes).noquote()
        << u"«%1» no es un valor de «Categorías» (no, línea o línea y sublínea); no se usan "
           u"categorías"_s.arg(a.Categorias);
    return ModoCategorias::No;
}

ModoBajas modoBajas(const Ajustes& a) {
    const QString t = sinAcentos(a.ProductosQueYaNoEstan);
    if (t.isEmpty() || t == u"dejar"_s)
        return ModoBajas::Dejar;
    if (t == u"sin existencias"_s)
        return ModoBajas::SinExistencias;
    if (t == u"desactivar"_s)
        return ModoBajas::Desactivar;
    qCWarning(lcAjustes).noquote()
        << u"«%1» no es un valor de «Productos que ya no están» (dejar, sin existencias o "
           u"desactivar); se dejan como están"_s.arg(a.ProductosQueYaNoEstan);
    return ModoBajas::Dejar;
}

double limiteBajas(const Ajustes& a) {
    QString t = a.LimiteBajas.trimmed();
    if (t.endsWith(u'%'))
        t.chop(1);
    bool bien = false;
    const double limite = t.trimmed().replace(u',', u'.').toDouble(&bien);
    if (bien && limite >= 0 && limite <= 100)
        return limite;
    qCWarning(lcAjustes).noquote()
        << u"«%1» no es un valor de «Límite de bajas» (un porcentaje de 0 a 100); se usa 10 %"_s
               .arg(a.LimiteBajas);
    return 10;
}

int estadoSinExistencias(const Ajustes& a) {
    bool bien = false;
    const int id = a.EstadoSinExistencias.trimmed().toInt(&bien);
    return bien && id > 0 ? id : 0;
}

QString claveReja(int columna) {
    return u"Columna "_s + QString::number(columna);
}

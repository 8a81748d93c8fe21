#pragma once

#include "../services/conexion.h"
#include "../services/instalacion.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>

class BasesDD;
class libQVTX;
class Utilerias;

// The program-wide settings record: decoded values of section "Configuración" of the INI file, plus
// the point-of-sale configuration read with the field mapping.
struct DatosTunel;

struct Ajustes {
    QString RutaIni;

    QString UsuarioWeb;
    QString ContrasenaWeb;
    QString DireccionIP;
    QString BaseDatosWeb;
    QString TablaProductosWeb;
    int PuertoWeb = 3306;        // 0 to 65535
    qint16 IntervaloMinutos = 0; // minutes; 0 = no automatic send
    QString CampoTallaColor;
    QString TablaExternaImagenes;
    QString LlaveProductosImagen;
    QString LlaveTablaExternaImagen;
    QString DireccionFTP;
    QString CarpetaFTP;
    QString UsuarioFTP;
    QString PasswordFTP;
    QString CampoExternaImagen;
    QString PrefijoCampoImagen;

    // Encryption of the shop's session: "preferida", "exigida" or "verificada", and the CA file
    // that verifies the server's certificate (empty: the system's authorities).
    QString ConexionSeguraWeb;
    QString CertificadoCaWeb;
    // The shop's session compressed when the server offers it.
    bool ComprimirWeb = true;

    // "host sha256:HEX": the one certificate taken from an FTP server whose certificate does not
    // verify (see config/certificado_ftp.h); typed by hand, never written by the program.
    QString ServidorFTPAceptado;

    // The shop's database reached through an SSH server ("host[:port]", empty: directly); then
    // DireccionIP and PuertoWeb name the database as that server sees it. With neither password
    // nor key file, the user's SSH agent.
    QString TunelSsh;
    QString UsuarioSsh;
    QString PasswordSsh;
    QString LlaveSsh; // a private key file
    QString FraseLlaveSsh;

    // Stores (comma-separated ids) that every product created by a send is linked to, or the
    // storefront never shows it.
    QString Tiendas;
    // Text written into the shop is HTML-encoded as the shop's own forms store it.
    bool CodificarTexto = true;
    // "por lotes" (bulk reads, changed-only batched writes) or "por producto".
    QString ModoEnvio;

    // The catalogue around the products (see modoCategorias(), modoBajas()).
    QString Categorias; // "no", "línea", "línea y sublínea"
    bool MarcasComoFabricantes = false;
    bool DireccionesSeo = false;
    QString ProductosQueYaNoEstan; // "dejar", "sin existencias", "desactivar"
    QString EstadoSinExistencias;  // a stock_status_id; empty: the shop's "Out Of Stock"
    QString LimiteBajas;           // share of the products Vendaro made, "10 %"
    QString CarpetaCacheTienda;    // the shop's cache folder on the FTP server, or empty

    bool UsaTallasOColores = false;
    bool UsaTallas = false;
    QString CarpetaImagenesProductos;

    // Keys whose value is encrypted under another key: their members hold no value (empty), and
    // nothing that needs them may run.
    QStringList Ilegibles;
};

inline const QString SeccionCampos = QStringLiteral("Campos");
inline const QString SeccionReja = QStringLiteral("Reja");

inline const QString ClaveAceptarCertificadoFTP = QStringLiteral("Aceptar certificado FTP de");

// One key of section "Configuración": its default (plain), whether the file holds it encrypted, the
// member of Ajustes that holds its decoded value, and the configuration page box that edits it.
struct ClaveAjuste {
    QString clave;
    QString defecto;
    bool cifrada = false;
    QString Ajustes::*texto = nullptr;
    qint16 Ajustes::*entero = nullptr; // a 16-bit number
    int campo = -1;                    // index of the page's txtDato box
    bool recortar = false;             // trimmed after decoding
    int Ajustes::*puerto = nullptr;    // a TCP port
    bool Ajustes::*booleano = nullptr; // 0 is false, any other number true
    bool opcional = false; // typed by hand when wanted: read with its default, never written
};

// The keys loaded into Ajustes, in loading order; keys without a page box have campo -1. Optional
// keys come last.
const QList<ClaveAjuste>& clavesAjustes();

// The encryption of the shop's session that a "Conexión segura WEB" text asks for; an unknown text
// gives "exigida" (the safe reading that still connects to a server with TLS) and *valido false.
ModoTls modoTlsTienda(const QString& texto, bool* valido = nullptr);
// The shop's connection options of the settings: its TLS mode and CA file.
void OpcionesTlsTienda(OpcionesConexion& opciones, const Ajustes& ajustes);
// The shop's server, login, database and encryption as the settings give them.
// With "Túnel SSH" set, through a tunnel of its own (shared by the copies of web.opciones).
void ConexionTienda(BasesDD& web, const Ajustes& ajustes);
// The SSH server, login and known_hosts file of "Túnel SSH"; false when the key names no server.
// Without "Usuario SSH", an sftp:// "Dirección del FTP" on the same host and port lends its user
// (and, without key file or SSH password, its password).
bool DatosTunelTienda(const Ajustes& ajustes, DatosTunel& tunel);

// The key edited by the page box of that index (0 to 17), or null.
const ClaveAjuste* claveDeCampo(int campo);

// Loads section "Configuración" into the record, writing defaults (encrypted where the key is) for
// missing keys in one rewrite, and clears the point-of-sale size/colour flags. An interval text
// that is not a 16-bit number, or a port text that is not a port number (0 to 65535), gives the
// key's default and a warning in the log. Values that do not decrypt are listed in Ilegibles.
// False when the defaults could not be written (*error says why; the file is as it was and the
// record holds the defaults).
bool CargarAjustes(Ajustes& ajustes, const libQVTX& qvtx, const Utilerias& utilerias,
                   QString* error = nullptr);

// The message that values the shop's run (ftp false) or the FTP session (ftp true) needs are
// encrypted under another key; empty when they can all be read.
QString motivoIlegibles(const Ajustes& ajustes, bool ftp);

// The eighteen texts of the configuration page, indexed like its boxes.
constexpr int NumeroCampos = 18;

// What "Grabar" writes, in its order: key and stored text for each box (numbers through qvVal,
// encrypted keys through Encripta; texts as typed, not trimmed). When a value cannot be encrypted
// the list is empty and *error says which and why: writing it would blank a secret.
QList<std::pair<QString, QString>>
listaGrabar(const QStringList& textos, const Utilerias& utilerias, QString* error = nullptr);
// What "Grabar" writes for the keys without a box (`otras`, texts by key name, "Ruta de Velmora
// Premium" among them): the stored text of each key given, encrypted where the key is. An optional
// key stays out of the file while it is empty or its default there: hand-written files keep only
// what their owner set. Empty with *error set when a value cannot be encrypted.
QList<std::pair<QString, QString>> listaGrabarOtras(const QHash<QString, QString>& otras,
                                                    const libQVTX& qvtx, const Utilerias& utilerias,
                                                    const QString& rutaIni, bool* bien,
                                                    QString* error = nullptr);
// Writes both lists into section "Configuración" in one atomic rewrite (each key in its place in
// the file); on false nothing was written and *error says why.
bool GrabarAjustes(const QStringList& textos, const libQVTX& qvtx, const Utilerias& utilerias,
                   const QString& rutaIni, QString* error = nullptr,
                   const QHash<QString, QString>& otras = {});

// The record with the page's texts over it, decoded as loading decodes the file: the eighteen
// boxes, and the keys without a box by name (numbers that do not convert keep what they were).
void aplicarTextos(Ajustes& ajustes, const QStringList& textos,
                   const QHash<QString, QString>& otras);

// When the settings file (or the host installation's file it names) holds encrypted values that the
// key cannot read (its file missing or damaged, or a well-formed key that did not encrypt them):
// the text that says so, naming the key file, and from then on no new key is created in this
// process. Empty when all is well.
QString ComprobarLlave(const libQVTX& qvtx, const Utilerias& utilerias, const QString& rutaIni);

// The store ids of Ajustes::Tiendas; blanks and duplicates ignored. Text that is not a list of
// whole numbers >= 0 gives std::nullopt.
std::optional<QList<int>> tiendasDe(const QString& texto);

inline const QString ModoPorLotes = QStringLiteral("por lotes");
inline const QString ModoPorProducto = QStringLiteral("por producto");
// The batched run unless the settings ask for the per-product one by name.
bool envioPorLotes(const Ajustes& ajustes);

// Products linked to categories made from the point of sale's lines (and sub-lines).
enum class ModoCategorias { No, Linea, LineaYSublinea };
// Unknown text: No, with a warning in the log.
ModoCategorias modoCategorias(const Ajustes& ajustes);
// What becomes of a product Vendaro made once the point of sale no longer has it.
enum class ModoBajas { Dejar, SinExistencias, Desactivar };
ModoBajas modoBajas(const Ajustes& ajustes);
// The share (0 to 100) of Vendaro's products one send may take out of sale; an unreadable text
// gives 10.
double limiteBajas(const Ajustes& ajustes);
// The stock status chosen for products out of stock: an id, or 0 for the shop's "Out Of Stock".
int estadoSinExistencias(const Ajustes& ajustes);

// Keys of sections "Reja" and "Campos".
QString claveReja(int columna);
namespace SufijoCampo {
inline const QString CampoWeb = QStringLiteral(".CampoWEB");
inline const QString TablaExterna = QStringLiteral(".TablaExterna");
inline const QString CampoEnProds = QStringLiteral(".CampoEnProds");
inline const QString CampoEnTablaExt = QStringLiteral(".CampoEnTablaExt");
} // namespace SufijoCampo

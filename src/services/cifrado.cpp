#include "cifrado.h"

#include "archivo_atomico.h"
#include "plataforma.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QLoggingCategory>
#include <QMutex>

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <memory>

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcCifrado, "vendaro.cifrado")

namespace {
constexpr int LargoLlave = 32;
constexpr int LargoNonce = 12;
constexpr int LargoEtiqueta = 16;

using Contexto = std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)>;

QMutex g_mutex;
QHash<QString, QByteArray> g_llaves; // key files already read in this process
bool g_impedirLlaveNueva = false;

QByteArray leerLlave(const QString& ruta) {
    QFile archivo(ruta);
    if (!archivo.open(QIODevice::ReadOnly))
        return {};
    const QByteArray llave = QByteArray::fromBase64(archivo.readAll().trimmed());
    return llave.size() == LargoLlave ? llave : QByteArray();
}

// Creates the key file without ever replacing one that another process created meanwhile.
QByteArray crearLlave(const QString& ruta) {
    QByteArray llave(LargoLlave, '\0');
    if (RAND_bytes(reinterpret_cast<unsigned char*>(llave.data()), LargoLlave) != 1)
        return {};
    const QString temporal = ruta + u".nueva"_s;
    QString error;
    if (!escribirArchivoAtomico(temporal, llave.toBase64() + '\n', Permisos::SoloDueno, &error)) {
        qCCritical(lcCifrado).noquote() << "No se pudo crear la llave" << ruta << ":" << error;
        return {};
    }
    if (!QFile::rename(temporal, ruta)) // fails when the key appeared meanwhile
        QFile::remove(temporal);
    return leerLlave(ruta);
}
} // namespace

Cifrador::Cifrador(const QString& rutaLlave)
    : m_rutaLlave(rutaLlave.isEmpty() ? rutaLlavePredeterminada() : rutaLlave) {}

QString Cifrador::rutaLlavePredeterminada() {
    return plataforma::carpetaConfiguracionUsuario() + u"/vendaro.key"_s;
}

QByteArray Cifrador::llave() const {
    QMutexLocker bloqueo(&g_mutex);
    auto it = g_llaves.constFind(m_rutaLlave);
    if (it != g_llaves.constEnd())
        return *it;
    QByteArray llave = leerLlave(m_rutaLlave);
    if (llave.isEmpty()) {
        if (QFile::exists(m_rutaLlave)) {
            // Never replace a damaged key: the values it encrypted would be lost for good.
            qCCritical(lcCifrado).noquote()
                << "La llave" << QDir::toNativeSeparators(m_rutaLlave) << "está dañada";
            return {};
        }
        if (g_impedirLlaveNueva) {
            qCCritical(lcCifrado).noquote()
                << "Falta la llave" << QDir::toNativeSeparators(m_rutaLlave);
            return {};
        }
        llave = crearLlave(m_rutaLlave);
    }
    if (!llave.isEmpty())
        g_llaves.insert(m_rutaLlave, llave);
    return llave;
}

QString Cifrador::problemaLlave() const {
    {
        QMutexLocker bloqueo(&g_mutex);
        if (g_llaves.contains(m_rutaLlave))
            return {};
    }
    if (!QFile::exists(m_rutaLlave))
        return u"falta la llave "_s + QDir::toNativeSeparators(m_rutaLlave);
    if (leerLlave(m_rutaLlave).isEmpty())
        return u"la llave "_s + QDir::toNativeSeparators(m_rutaLlave) +
               u" está dañada o no se puede leer"_s;
    return {};
}

void Cifrador::impedirLlaveNueva(bool impedir) {
    QMutexLocker bloqueo(&g_mutex);
    g_impedirLlaveNueva = impedir;
}

bool Cifrador::reemplazarLlave() const {
    {
        QMutexLocker bloqueo(&g_mutex);
        g_llaves.remove(m_rutaLlave);
        g_impedirLlaveNueva = false;
    }
    if (QFile::exists(m_rutaLlave)) {
        const QString aparte = m_rutaLlave + u".dañada"_s;
        QFile::remove(aparte);
        if (!QFile::rename(m_rutaLlave, aparte))
            return false;
        qCWarning(lcCifrado).noquote() << "La llave dañada quedó en" << aparte;
    }
    return !llave().isEmpty();
}

QString Cifrador::cifrar(const QString& texto) const {
    const QByteArray clave = llave();
    if (clave.isEmpty())
        return {};
    const QByteArray claro = texto.toUtf8();
    QByteArray salida(LargoNonce + claro.size() + LargoEtiqueta, '\0');
    auto* nonce = reinterpret_cast<unsigned char*>(salida.data());
    auto* cifrado = nonce + LargoNonce;
    if (RAND_bytes(nonce, LargoNonce) != 1)
        return {};
    Contexto ctx(EVP_CIPHER_CTX_new(), &EVP_CIPHER_CTX_free);
    int largo = 0;
    int largoFinal = 0;
    const bool bien =
        ctx &&
        EVP_EncryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr,
                           reinterpret_cast<const unsigned char*>(clave.constData()), nonce) == 1 &&
        EVP_EncryptUpdate(ctx.get(), cifrado, &largo,
                          reinterpret_cast<const unsigned char*>(claro.constData()),
                          int(claro.size())) == 1 &&
        EVP_EncryptFinal_ex(ctx.get(), cifrado + largo, &largoFinal) == 1 &&
        EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_GET_TAG, LargoEtiqueta,
                            cifrado + claro.size()) == 1;
    if (!bien) {
        qCCritical(lcCifrado) << "Falló el cifrado";
        return {};
    }
    return Prefijo + QString::fromLatin1(salida.toBase64());
}

QList<qsizetype> Cifrador::ilegibles(const QStringList& valores) const {
    QList<qsizetype> posiciones;
    for (qsizetype i = 0; i < valores.size(); ++i) {
        bool bien = true;
        if (estaCifrado(valores[i]))
            descifrar(valores[i], &bien);
        if (!bien)
            posiciones.append(i);
    }
    return posiciones;
}

QString Cifrador::descifrar(const QString& texto, bool* bienDescifrado) const {
    if (bienDescifrado)
        *bienDescifrado = true;
    if (!estaCifrado(texto))
        return texto;
    auto fallo = [bienDescifrado] {
        qCWarning(lcCifrado) << "Un valor cifrado no se pudo descifrar con la llave";
        if (bienDescifrado)
            *bienDescifrado = false;
        return QString();
    };
    const QByteArray datos = QByteArray::fromBase64(texto.mid(Prefijo.size()).trimmed().toLatin1());
    const QByteArray clave = llave();
    if (datos.size() < LargoNonce + LargoEtiqueta || clave.isEmpty())
        return fallo();
    const auto* nonce = reinterpret_cast<const unsigned char*>(datos.constData());
    const int largoCifrado = int(datos.size()) - LargoNonce - LargoEtiqueta;
    const auto* cifrado = nonce + LargoNonce;
    QByteArray claro(largoCifrado, '\0');
    QByteArray etiqueta = datos.right(LargoEtiqueta);
    Contexto ctx(EVP_CIPHER_CTX_new(), &EVP_CIPHER_CTX_free);
    int largo = 0;
    int largoFinal = 0;
    const bool bien =
        ctx &&
        EVP_DecryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr,
                           reinterpret_cast<const unsigned char*>(clave.constData()), nonce) == 1 &&
        EVP_DecryptUpdate(ctx.get(), reinterpret_cast<unsigned char*>(claro.data()), &largo,
                          cifrado, largoCifrado) == 1 &&
        EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_TAG, LargoEtiqueta, etiqueta.data()) == 1 &&
        EVP_DecryptFinal_ex(ctx.get(), reinterpret_cast<unsigned char*>(claro.data()) + largo,
                            &largoFinal) == 1;
    if (!bien)
        return fallo();
    return QString::fromUtf8(claro);
}

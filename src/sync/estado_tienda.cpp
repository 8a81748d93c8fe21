#include "estado_tienda.h"

#include "services/archivo_atomico.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

using namespace Qt::StringLiterals;

namespace {
// Changes whenever what the file holds or how a plan is digested changes.
constexpr quint32 Formato = 0x56450003;

void digerir(QCryptographicHash& h, const Valor& v) {
    if (v.esNulo()) {
        h.addData("\x01N", 2);
        return;
    }
    const QByteArray t = v.texto().toUtf8();
    const qint64 n = t.size();
    h.addData(QByteArrayView(reinterpret_cast<const char*>(&n), sizeof n));
    h.addData(t);
}
void digerir(QCryptographicHash& h, const QString& t) {
    digerir(h, Valor(t));
}
// Texts as UTF-8 (keys, and weights that are hex or digits): half the file of QString's UTF-16.
void escribirTexto(QDataStream& s, const QString& t) {
    s << t.toUtf8();
}
QString leerTexto(QDataStream& s) {
    QByteArray b;
    s >> b;
    return QString::fromUtf8(b);
}
void escribirProductos(QDataStream& s, const QHash<QString, EstadoTienda::Producto>& productos) {
    s << qint64(productos.size());
    for (auto it = productos.cbegin(); it != productos.cend(); ++it) {
        escribirTexto(s, it.key());
        s << it->fila << it->plan;
    }
}
void escribirTextos(QDataStream& s, const QHash<QString, QString>& textos) {
    s << qint64(textos.size());
    for (auto it = textos.cbegin(); it != textos.cend(); ++it) {
        escribirTexto(s, it.key());
        escribirTexto(s, it.value());
    }
}
// Reads stop at the first damage: the caller checks the stream's status.
void leerProductos(QDataStream& s, QHash<QString, EstadoTienda::Producto>* productos) {
    qint64 n = 0;
    s >> n;
    for (qint64 i = 0; i < n && s.status() == QDataStream::Ok; ++i) {
        const QString clave = leerTexto(s);
        EstadoTienda::Producto p;
        s >> p.fila >> p.plan;
        productos->insert(clave, p);
    }
}
void leerTextos(QDataStream& s, QHash<QString, QString>* textos) {
    qint64 n = 0;
    s >> n;
    for (qint64 i = 0; i < n && s.status() == QDataStream::Ok; ++i) {
        const QString clave = leerTexto(s);
        textos->insert(clave, leerTexto(s));
    }
}
} // namespace

// Found by argument lookup from Qt's container streaming, so outside the unnamed namespace.
QDataStream& operator<<(QDataStream& s, const EstadoTienda::Suma& x) {
    return s << x.filas << x.mezcla;
}
QDataStream& operator>>(QDataStream& s, EstadoTienda::Suma& x) {
    return s >> x.filas >> x.mezcla;
}

QString EstadoTienda::rutaPara(const QString& rutaIni) {
    const QFileInfo ini(rutaIni);
    return ini.absoluteDir().filePath(ini.completeBaseName() + u".tienda"_s);
}

bool EstadoTienda::leer(const QString& ruta) {
    *this = EstadoTienda{};
    QFile f(ruta);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    QDataStream s(&f);
    s.setVersion(QDataStream::Qt_6_2);
    quint32 formato = 0;
    s >> formato;
    if (formato != Formato)
        return false;
    s >> huella >> cuenta;
    leerProductos(s, &productos);
    leerTextos(s, &pesos);
    leerTextos(s, &filaDePeso);
    s >> ultimaFila >> opcionesDe >> existenciasDe >> ultimaOpcion >> ultimaExistencia >> sumas;
    if (s.status() != QDataStream::Ok) {
        *this = EstadoTienda{};
        return false;
    }
    return true;
}

bool EstadoTienda::guardar(const QString& ruta, QString* error) const {
    // Streamed into the file: built in memory first, its megabytes topped a large send's peak.
    return escribirArchivoAtomico(
        ruta,
        [this](QIODevice& archivo) {
            QDataStream s(&archivo);
            s.setVersion(QDataStream::Qt_6_2);
            s << Formato << huella << cuenta;
            escribirProductos(s, productos);
            escribirTextos(s, pesos);
            escribirTextos(s, filaDePeso);
            s << ultimaFila << opcionesDe << existenciasDe << ultimaOpcion << ultimaExistencia
              << sumas;
            return s.status() == QDataStream::Ok;
        },
        Permisos::SoloDueno, error);
}

QByteArray EstadoTienda::huellaPlan(const PlanProducto& p) {
    QCryptographicHash h(QCryptographicHash::Md5);
    digerir(h, p.clave);
    digerir(h, p.descripcion);
    for (const QString& c : p.columnas)
        digerir(h, c);
    for (const Valor& v : p.valores)
        digerir(h, v);
    for (const EscrituraExterna& e : p.externas) {
        for (const QString& t : {e.tabla, e.columna, e.llaveEnProds, e.llave})
            digerir(h, t);
        digerir(h, e.valor);
        for (const auto& [columna, valor] : e.filas) {
            digerir(h, columna);
            digerir(h, valor);
        }
    }
    for (const Existencia& e : p.existencias) {
        digerir(h, e.referencia);
        digerir(h, e.cantidad);
    }
    for (const Relacion* r :
         {&p.pertenencia.linea, &p.pertenencia.sublinea, &p.pertenencia.marca}) {
        digerir(h, QString::number(r->id));
        digerir(h, r->nombre);
    }
    return h.result().left(12);
}

QSet<qint64> EstadoTienda::cubetasDistintas(const Sumas& antes, const Sumas& ahora, bool* todas) {
    QSet<qint64> distintas;
    *todas = antes.size() != ahora.size();
    for (auto t = ahora.cbegin(); t != ahora.cend() && !*todas; ++t) {
        const auto a = antes.constFind(t.key());
        if (a == antes.cend()) {
            *todas = true;
            break;
        }
        for (auto c = t->cbegin(); c != t->cend(); ++c)
            if (a->value(c.key()) != c.value())
                distintas.insert(c.key());
        for (auto c = a->cbegin(); c != a->cend(); ++c)
            if (!t->contains(c.key()))
                distintas.insert(c.key());
    }
    return distintas;
}

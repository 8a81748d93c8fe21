#pragma once

#include "archivo_atomico.h"

#include <QList>
#include <QString>

// An INI file held as its lines, so that a rewrite keeps comments, order, blank lines and keys the
// program does not know. Sections and keys are matched without regard to letter case; a value is
// everything after the first equals sign, blanks included. Files are UTF-8; a file that is not
// valid UTF-8 (one saved in a Windows code page) is read as Windows-1252 and written back as UTF-8.
class ArchivoIni {
public:
    // Reads the file; a missing file gives an empty INI and true.
    bool cargar(const QString& ruta, QString* error = nullptr);
    bool guardar(const QString& ruta, Permisos permisos, QString* error = nullptr) const;

    void desdeTexto(const QByteArray& bytes);
    QByteArray aTexto() const;

    // The value of the key, or the empty text when absent (*existe tells the two apart).
    QString valor(const QString& seccion, const QString& clave, bool* existe = nullptr) const;
    // Replaces the key's value in place, or adds the key at the end of its section (adding the
    // section at the end of the file when missing).
    void fijar(const QString& seccion, const QString& clave, const QString& valor);

    QStringList claves(const QString& seccion) const;

private:
    struct Linea {
        enum class Tipo { Otra, Seccion, Clave } tipo = Tipo::Otra;
        QString texto;  // the line as read or composed
        QString nombre; // section or key name
        QString valor;  // key lines: the raw value
    };
    static Linea analizar(const QString& texto);
    int buscarSeccion(const QString& seccion) const;
    int buscarClave(int inicioSeccion, const QString& clave) const;

    QList<Linea> m_lineas;
    QString m_finLinea = QStringLiteral("\n");
    bool m_terminaEnFinLinea = true;
};

#pragma once

#include "archivo_atomico.h"

#include <QList>
#include <QString>

// An INI file held as its lines, so that a rewrite keeps comments, order, blank lines and keys the
// program does not know. Sections and keys are matched without regard to letter case; a value is
// everything after the first equals sign, blanks included.
// Files are hand-edited, so any bytes read: UTF-8 with or without BOM, UTF-16 with BOM, and bytes
// that are not UTF-8 (a line saved in a Windows code page) are taken one by one as Windows-1252
// while the rest of the file keeps its UTF-8 text. Writing is always UTF-8 (with a BOM when the
// file had one); before rewriting a file that was not clean UTF-8, its bytes are kept beside it in
// "<file>.bak".
class ArchivoIni {
public:
    // Reads the file; a missing file gives an empty INI and true.
    bool cargar(const QString& ruta, QString* error = nullptr);
    bool guardar(const QString& ruta, Permisos permisos, QString* error = nullptr) const;

    // Why the bytes read are not a settings file at all (binary, no section): empty when they are.
    // Such a file is never rewritten.
    QString problema() const { return m_problema; }
    // Lines that are neither blank, a comment, a section nor a key (a file cut short, a typo).
    QStringList lineasSinSentido() const;
    // Keys written twice in one section, naming both lines (the first one counts).
    QStringList clavesRepetidas() const;

    // Whether the bytes read were UTF-8 throughout (a BOM allowed).
    bool eraUtf8Limpio() const { return m_original.isNull(); }
    static QString rutaCopia(const QString& ruta) { return ruta + QStringLiteral(".bak"); }

    void desdeTexto(const QByteArray& bytes);
    QByteArray aTexto() const;

    // The value of the key, or the empty text when absent (*existe tells the two apart).
    QString valor(const QString& seccion, const QString& clave, bool* existe = nullptr) const;
    // Replaces the key's value in place, or adds the key at the end of its section (adding the
    // section at the end of the file when missing).
    void fijar(const QString& seccion, const QString& clave, const QString& valor);

    QStringList claves(const QString& seccion) const;
    // The values of every key of every section.
    QStringList valores() const;

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
    QByteArray m_original; // the bytes read, kept only when they were not clean UTF-8
    QString m_problema;
    bool m_bom = false;
    QString m_finLinea = QStringLiteral("\n");
    bool m_terminaEnFinLinea = true;
};

#pragma once

#include "objetos.h"
#include "teclas.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <utility>

class QObject;

// INI access, number reading and the key filters of the input boxes.
// INI convention: reads give the empty text when a file or key is missing; writes return false and
// log the reason when the file could not be replaced (the old file then stays as it was).
class libQVTX : public ObjetoComponente {
public:
    QString LeeIni(const QString& seccion, const QString& clave, const QString& rutaIni) const;
    bool EscribeIni(const QString& seccion, const QString& clave, const QString& valor,
                    const QString& rutaIni) const;
    // Several keys of one section in one atomic rewrite, in the order given. *error says why it
    // failed (a full disk, a file that is not a settings file).
    bool EscribeIniVarios(const QString& seccion, const QList<std::pair<QString, QString>>& claves,
                          const QString& rutaIni, QString* error = nullptr) const;

    // What reading the file found: why it cannot be used at all, lines that mean nothing, keys
    // given twice.
    struct EstadoIni {
        QString problema;
        QStringList sinSentido;
        QStringList repetidas;
    };
    EstadoIni EstadoArchivo(const QString& rutaIni) const;

    // The number at the start of the text, blanks ignored; 0 when there is none.
    static double qvVal(const QString& texto);

    // Navigation keys of an input box (key-down): Down and Up move to the next and previous
    // control.
    AccionTecla Teclas(int& codigoTecla, int cambio = 0) const;
    // Character filter of an input box (key-press) by input class: "9" digits only, "¡" lower case,
    // "!" upper case (both refuse the backslash), "N" names as typed (no backslash or back-quote),
    // "T" digits, point and colon, anything else free text. Enter is swallowed and moves to the
    // next control. A refused key becomes 0.
    AccionTecla Enter(int& codigoCaracter, const QString& clase) const;
    // Selects the whole text of an input control.
    void Resalta(QObject* control) const;
};

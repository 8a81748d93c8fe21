#pragma once

#include <QDateTime>
#include <QString>

// The value formatting that the grid applies when it writes an edited text back, and the date test
// of the masked editor. Numbers are read with a point as decimal separator (commas may group
// thousands) and written the same way; day and month names are Spanish; dates are read day first.
class FormatoTexto {
public:
    // The text formatted by the expression: numeric ("0.00", "#,##0.00", "0%", with ';' sections
    // for negatives and zero), date and time ("dd/mm/yyyy", "hh:nn:ss", "ww" counts weeks from the
    // one holding 1 January, "w" days from Sunday), case ("<", ">"), or a named format ("Fixed",
    // "Standard", "Percent", "Currency", "General Number", "Short Date", "Medium Date", "Long
    // Date", "General Date", "Short Time", "Medium Time", "Long Time"). A text that the expression
    // cannot read (letters under a number format) is returned unchanged.
    static QString Aplicar(const QString& texto, const QString& formato);

    // Whether the text reads as a date, a date and time, or a time of day.
    static bool EsFecha(const QString& texto);

    // The date and time the text holds (time-only texts fall on 30 December 1899, the day zero of
    // date serial numbers); invalid when it holds none.
    static QDateTime LeeFecha(const QString& texto);
};

#pragma once

#include <QString>

// The program's styled message box: returns the answer code (6 = Yes, 0 when no box could be
// shown).
int Mensaje(const QString& texto, int botones, const QString& titulo, int estilo = 0);

// A Yes/No question with the question icon; noPorDefecto makes No the default button. True only for
// Yes.
bool Pregunta(const QString& texto, const QString& titulo, bool noPorDefecto = true);

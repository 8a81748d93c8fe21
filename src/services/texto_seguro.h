#pragma once

#include <QString>

// Texts that reach the terminal, the log or a headless message box come partly from outside: point
// of sale data, server replies, settings typed by hand. Before they are shown, every registered
// secret is masked and control characters are written as visible escapes, so a value can neither
// reveal a password, split a log line nor send commands to the terminal.
namespace textoSeguro {

// Registers a secret (a password) to be masked in every later message; process-wide. Secrets
// shorter than four characters are not registered: masking them would blank ordinary words.
void ocultar(const QString& secreto);

// NUL, line breaks, ESC, DEL and the other control characters as "\n", "\r", "\t", "\xHH" or
// "\u{HHHH}"; a backslash stays as it is.
QString escapado(const QString& texto);

// Registered secrets as "****", then escapado(). With saltos, line breaks stay (a box's own lines).
QString paraMostrar(const QString& texto, bool saltos = false);

} // namespace textoSeguro

#pragma once

#include <QString>

// A database value as the server's own text, or NULL. Numbers and dates keep the server's exact
// text so a price never passes through a floating-point type.
class Valor {
public:
    Valor() = default;
    Valor(const QString& texto)
        : m_nulo(false)
        , m_texto(texto) {}
    Valor(QString&& texto)
        : m_nulo(false)
        , m_texto(std::move(texto)) {}
    Valor(const char16_t* texto)
        : m_nulo(false)
        , m_texto(QString::fromUtf16(texto)) {}
    static Valor nulo() { return Valor(); }
    static Valor numero(qint64 n) { return Valor(QString::number(n)); }

    bool esNulo() const { return m_nulo; }
    // The text of the value; NULL reads as the empty text, as the platform's default conversion
    // did.
    const QString& texto() const { return m_texto; }

    bool operator==(const Valor& otro) const = default;

private:
    bool m_nulo = true;
    QString m_texto;
};

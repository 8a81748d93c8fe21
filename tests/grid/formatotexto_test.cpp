#include "grid/formatotexto.h"

#include "support/entorno.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {
struct Caso {
    const char* texto;
    const char* formato;
    const char* esperado;
};
void comprueba(const Caso* casos, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        const Caso& c = casos[i];
        SCOPED_TRACE(std::string(c.texto) + " con " + c.formato);
        EXPECT_EQ(FormatoTexto::Aplicar(QString::fromUtf8(c.texto), QString::fromUtf8(c.formato)),
                  QString::fromUtf8(c.esperado));
    }
}
} // namespace

TEST(FormatoTexto, Numeros) {
    const Caso casos[] = {
        {"5", "0.00", "5.00"},
        {"5", "", "5"},
        {"1234.5", "#,##0.00", "1,234.50"},
        {"1,234.5", "0.0", "1234.5"},
        {"-3", "0.0", "-3.0"},
        {"-0.001", "0.00", "0.00"},
        {"0.256", "0%", "26%"},
        {"2.675", "0.00", "2.68"},
        {"7", "000", "007"},
        {"0.5", "#.00", ".50"},
        {"-5", "0;(0)", "(5)"},
        {"0", "0;(0);\"cero\"", "cero"},
        {"12", "\"$\"0.00", "$12.00"},
        {" 8 ", "0.00 kg", "8.00 kg"},
        {"abc", "0.00", "abc"},
        {"", "0.00", ""},
        {"5", "Fixed", "5.00"},
        {"1234", "Standard", "1,234.00"},
        {"0.5", "Percent", "50.00%"},
        {"-2", "Currency", "($2.00)"},
        {"3.50", "General Number", "3.5"},
    };
    comprueba(casos, std::size(casos));
}

TEST(FormatoTexto, FechasYTexto) {
    const Caso casos[] = {
        {"5/3/2024", "yyyy-mm-dd", "2024-03-05"},
        {"2024-03-05", "dd/mm/yyyy", "05/03/2024"},
        {"5/3/24", "d/m/yy", "5/3/24"},
        {"5/3/2024", "d \"de\" mmmm", "5 de marzo"},
        {"5/3/2024 14:05:09", "hh:nn:ss", "14:05:09"},
        {"5/3/2024 14:05:09", "hh:mm:ss AM/PM", "02:05:09 PM"},
        {"14:05", "h:nn", "14:05"},
        {"2024-01-06", "ww", "1"}, // Saturday of the week of 1 January
        {"2024-01-07", "ww", "2"}, // the next week starts on Sunday
        {"2024-01-07", "w", "1"},  // Sunday is day 1
        {"2024-08-15", "q", "3"},
        {"5/3/2024", "Short Date", "05/03/2024"},
        {"45000", "dd/mm/yyyy", "15/03/2023"}, // a serial number of days
        {"abc", "dd/mm/yyyy", "abc"},
        {"Hola", ">", "HOLA"},
        {"Hola", "<", "hola"},
    };
    comprueba(casos, std::size(casos));
}

TEST(FormatoTexto, EsFecha) {
    const char* fechas[] = {"31/12/2024", "29/02/2024", "31/12/24", "12/31/2024",
                            "2024-12-31", "10:30",      "10:30:15", "1/2/2024 8:00"};
    for (const char* f : fechas)
        EXPECT_TRUE(FormatoTexto::EsFecha(QString::fromUtf8(f))) << f;
    const char* noFechas[] = {"",           "abc",   "29/02/2023", "31/13/2024", "3 /  /    ",
                              "  /  /    ", "25:00", "33/99/2024", "12",         "1/2/2024 x"};
    for (const char* f : noFechas)
        EXPECT_FALSE(FormatoTexto::EsFecha(QString::fromUtf8(f))) << f;
}

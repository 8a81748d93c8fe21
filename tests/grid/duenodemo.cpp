#include "duenodemo.h"

#include "grid/zonafija.h"

#include <QComboBox>
#include <QLineEdit>
#include <QStringListModel>
#include <QTableWidget>
#include <QVBoxLayout>

#include <stdexcept>

using namespace Qt::StringLiterals;

DuenoDemo::DuenoDemo() {
    setObjectName(u"frmDemo"_s);
    auto* disposicion = new QVBoxLayout(this);
    reja = new QTableWidget(4, 10, this);
    reja->setObjectName(u"mhgDemo"_s);
    otro = new QLineEdit(this);
    otro->setObjectName(u"txtOtro"_s);
    disposicion->addWidget(reja);
    disposicion->addWidget(otro);
    resize(1000, 320);
    for (int c = 0; c < reja->columnCount(); ++c)
        reja->setColumnWidth(c, c == 0 ? 40 : 90);

    const QStringList titulos{u""_s,      u"Clave"_s,  u"Fecha"_s, u"Unidad"_s, u"Activo"_s,
                              u"Marca"_s, u"Precio"_s, u"Hora"_s,  u"Nombre"_s, u"Notas"_s};
    const QList<QStringList> filas{
        {u"1"_s, u"A1"_s, u"01/02/2024"_s, u"PZA"_s, u""_s, u"Acme"_s, u"10.00"_s, u"08:00"_s,
         u"ana"_s, u"nota uno"_s},
        {u"2"_s, u"B2"_s, u""_s, u""_s, u""_s, u""_s, u""_s, u""_s, u"bruno"_s, u""_s},
        {u"3"_s, u"C3"_s, u""_s, u""_s, u""_s, u""_s, u""_s, u""_s, u""_s, u""_s},
    };
    for (int c = 0; c < titulos.size(); ++c)
        reja->setItem(0, c, new QTableWidgetItem(titulos[c]));
    for (int f = 0; f < filas.size(); ++f)
        for (int c = 0; c < filas[f].size(); ++c)
            if (!filas[f][c].isEmpty())
                reja->setItem(f + 1, c, new QTableWidgetItem(filas[f][c]));
    ZonaFija::Fijar(reja, 1, 1);

    control.setFrmVentana(this);
    control.setFlexGrid(reja);
    control.setNumerar(true);
    control.setAntesDeInsertar(u"PreparaRenglon"_s);
    const QString despues = u"DespuesDeEditar"_s;
    control.AgregaColumna(1, TipoEditor::Texto, u"!"_s, 8, {}, {}, u"ValidaClave"_s,
                          u"BuscaClave"_s, {}, 0, despues);
    control.AgregaColumna(2, TipoEditor::Mascara, u"9"_s, 0, {}, u"##/##/####"_s, u"ValidaFecha"_s,
                          {}, {}, 0, despues);
    control.AgregaColumna(3, TipoEditor::Combo, u"X"_s, 0, {}, {}, {}, u"BuscaUnidad"_s,
                          u"LlenaUnidades"_s, 0, despues);
    control.AgregaColumna(4, TipoEditor::Casilla, u"1"_s, 0, {}, {}, {}, {}, {}, 0, despues);
    control.AgregaColumna(5, TipoEditor::DataCombo, u"X"_s, 0, {}, {}, {}, {}, u"LlenaMarcas"_s, 0,
                          despues);
    control.AgregaColumna(6, TipoEditor::Texto, u"9"_s, 0, u"0.00"_s, {}, u"ValidaPrecio"_s, {}, {},
                          0, despues);
    control.AgregaColumna(7, TipoEditor::Texto, u"T"_s, 5);
    control.AgregaColumna(8, TipoEditor::Texto, u"¡"_s, 0, {}, {}, {}, {}, {}, 0, despues);
}

bool DuenoDemo::ValidaClave(QString& texto, int renglon, int columna) {
    llamadas.append(u"ValidaClave(%1,%2,%3)"_s.arg(texto).arg(renglon).arg(columna));
    if (texto == u"MAL"_s)
        return false;
    if (texto == u"ABC"_s)
        texto = u"ABC-001"_s; // the owner completes short keys
    return true;
}

bool DuenoDemo::ValidaFecha(QString& texto, int renglon, int columna) {
    llamadas.append(u"ValidaFecha(%1,%2,%3)"_s.arg(texto).arg(renglon).arg(columna));
    return true; // the controller adds the date test for masked columns
}

bool DuenoDemo::ValidaPrecio(QString& texto, int, int) {
    bool ok = false;
    texto.toDouble(&ok);
    return ok;
}

void DuenoDemo::DespuesDeEditar(int renglon, int columna) {
    llamadas.append(u"Despues(%1,%2)"_s.arg(renglon).arg(columna));
    if (lanzarEnDespues)
        throw std::runtime_error("falla del dueño");
}

void DuenoDemo::LlenaUnidades(QComboBox* combo, int renglon, int columna) {
    llamadas.append(u"LlenaUnidades(%1,%2)"_s.arg(renglon).arg(columna));
    if (combo->count() == 0)
        combo->addItems({u"PZA"_s, u"KG"_s});
}

void DuenoDemo::LlenaMarcas(QComboBox* combo, int renglon, int columna) {
    llamadas.append(u"LlenaMarcas(%1,%2)"_s.arg(renglon).arg(columna));
    if (combo->count() == 0)
        combo->setModel(new QStringListModel({u"Acme"_s, u"Zeta"_s}, combo));
}

QString DuenoDemo::BuscaClave() {
    llamadas.append(u"BuscaClave"_s);
    return valorBusqueda;
}

QString DuenoDemo::BuscaUnidad() {
    llamadas.append(u"BuscaUnidad"_s);
    return u"CAJA"_s;
}

void DuenoDemo::PreparaRenglon(int renglon) {
    llamadas.append(u"PreparaRenglon(%1)"_s.arg(renglon));
}

void DuenoDemo::Suprime(int renglon) {
    llamadas.append(u"Suprime(%1)"_s.arg(renglon));
}

void DuenoDemo::Espacio(int renglon, int columna) {
    llamadas.append(u"Espacio(%1,%2)"_s.arg(renglon).arg(columna));
}

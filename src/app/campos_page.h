#pragma once

#include "config/ajustes.h"
#include "config/estrucs.h"

#include <QList>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

class DeControles;
class EdicionGrid;
class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;
class QThread;
class libQVTX;
struct ListasTienda;

// Page "Relación de campos": the mapping grid, one row per point-of-sale column, edited in place
// in its four web columns. Each cell offers a list read from the shop's database (its tables, or
// the columns of the table the row names), typing stays free; below the grid, what the current
// column takes and how its key is written.
class CamposPage : public QWidget {
    Q_OBJECT
public:
    explicit CamposPage(QWidget* padre = nullptr);
    ~CamposPage() override;

    static constexpr int Columnas = 6;
    // Designed widths in twips.
    static constexpr int Anchos[Columnas] = {500, 2000, 2000, 2000, 3000, 3000};

    // The editor: lists with free text on columns 2 to 5, no appended rows, Delete clears a cell,
    // editors placed in the window.
    void configurarEdicion(QWidget* ventana);
    // The empty state: the header row and one blank row, designed widths replaced by the saved
    // ones (section "Reja") that are greater than 0.
    void reiniciar(const libQVTX& qvtx, const QString& rutaIni);
    // One row per point-of-sale column.
    void llenar(const QList<Estrucs>& filas, const DeControles* controles);
    // The rows as typed, for the checks and the save.
    QList<Estrucs> filas() const;
    int renglones() const;
    // Every column's width, in twips, into section "Reja".
    void guardarAnchos(const libQVTX& qvtx, const QString& rutaIni) const;

    // The settings as the configuration page holds them now, typed and not yet saved: the shop
    // whose lists are offered.
    void setAjustesActuales(std::function<Ajustes()> ajustes) { m_ajustes = std::move(ajustes); }
    // Reads the shop's tables and columns on a worker thread, unless the lists of the shop the
    // settings name now are there or on their way; `deNuevo` reads them again all the same.
    void leerListas(bool deNuevo = false);
    bool leyendo() const { return m_leyendo; }
    // The lists read from the shop the settings name now; null while reading, after a failed
    // read, or when the settings name another shop.
    const ListasTienda* listas() const;
    // Before a save: true when the names the rows and the current settings give exist in the shop,
    // or when the shop's lists are not there to tell; otherwise the missing ones are named and the
    // user decides (No, the default, keeps everything as it was).
    bool confirmarNombres(const QList<Estrucs>& filas) const;

    // Owner methods of the grid, called by name.
    Q_INVOKABLE void LlenarListas(QComboBox* control, int renglon, int columna);
    Q_INVOKABLE void LimpiarCelda(int renglon);

    QTableWidget* mhgReja;
    EdicionGrid* mGrid = nullptr;
    QLabel* lblListas;
    QPushButton* cmdLeerListas;
    QLabel* lblAyuda;
    QPushButton* cmdGrabar;

Q_SIGNALS:
    // A read of the lists ended, read or not.
    void listasTerminadas();

private:
    void encabezados();
    void mostrarAyuda(int columna);
    void mostrarListas();
    QString firmaActual() const;

    std::function<Ajustes()> m_ajustes;
    std::shared_ptr<const ListasTienda> m_listas;
    QString m_firmaListas; // the shop the lists (or the read under way) come from
    QString m_baseListas;
    quint64 m_lectura = 0;
    bool m_leyendo = false;
    // Reads still running, replaced ones included: waited for when the page goes, so that none
    // outlives the program (they end within the server's time-outs).
    QList<QPointer<QThread>> m_hilos;
};

#pragma once

#include <QMainWindow>

class QAction;
class QTextEdit;
class libQVTX;
class DeArchivos;

// "Descripción del programa": a text box filling the window, showing the program's text file when
// there is one, and a menu to open the settings file. Its place and size are kept in the settings
// file under "frmDescripcion".
class frmDescripcion : public QMainWindow {
    Q_OBJECT
public:
    frmDescripcion(const libQVTX& qvtx, const DeArchivos& archivos, const QString& rutaIni,
                   const QString& rutaTexto, QWidget* padre = nullptr);

    // The text file as the window shows it: lines joined into paragraphs that wrap to the window;
    // blank lines, headings and list items ("• ") keep their own lines.
    static QString Reflujo(const QString& texto);
    // Opens the settings file in the desktop's program for it; where none could be started, says
    // where the file is, so the user can open it by hand.
    static void EditarINI(const DeArchivos& archivos, const QString& rutaIni);

protected:
    void resizeEvent(QResizeEvent* evento) override;
    void closeEvent(QCloseEvent* evento) override;

private:
    void Form_Load();
    void Form_Unload();

    const libQVTX& m_qvtx;
    const DeArchivos& m_archivos;
    QString m_rutaIni;
    QTextEdit* rtbTexto;
    bool m_guardada = false;
};

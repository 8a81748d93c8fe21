#pragma once

#include <QWidget>

class QPlainTextEdit;

// The run log inside the program: read-only, newest lines at the end, read again on "Actualizar".
class frmBitacora : public QWidget {
    Q_OBJECT
public:
    explicit frmBitacora(const QString& rutaBitacora, QWidget* padre = nullptr);
    // Reads the file again (its last part, for a long log) and shows its end.
    void actualizar();

    QPlainTextEdit* txtBitacora;

private:
    QString m_ruta;
};

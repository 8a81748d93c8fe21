#pragma once

#include "duenodemo.h"

#include "services/decontroles_gui.h"
#include "support/entorno.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

// The demo window shown and active, driven through the keyboard as a person would: every key goes
// to the widget that has the focus.
class PruebaReja : public ::testing::Test {
protected:
    void SetUp() override {
        registrarClasesGui();
        d = std::make_unique<DuenoDemo>();
        d->show();
        d->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(d.get()));
        QObject::connect(&d->control, &EdicionGrid::Pitido, [this] { ++pitidos; });
        ir(1, 1);
    }

    // Makes (renglon, columna) the current cell and gives the grid the focus.
    void ir(int renglon, int columna) {
        d->reja->setCurrentCell(renglon, columna);
        d->reja->setFocus(Qt::OtherFocusReason);
    }
    static QWidget* foco() { return QApplication::focusWidget(); }
    void pulsa(Qt::Key tecla, Qt::KeyboardModifiers modificadores = Qt::NoModifier) {
        ASSERT_NE(foco(), nullptr);
        QTest::keyClick(foco(), tecla, modificadores);
    }
    void escribe(const char* texto) {
        for (const char* c = texto; *c; ++c) {
            ASSERT_NE(foco(), nullptr);
            QTest::keyClick(foco(), *c);
        }
    }
    // Lets posted events (queued keystrokes, focus returns) run.
    static void espera() {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }
    QString celda(int renglon, int columna) const {
        const QTableWidgetItem* item = d->reja->item(renglon, columna);
        return item ? item->text() : QString();
    }
    void ponCelda(int renglon, int columna, const QString& texto) {
        if (!d->reja->item(renglon, columna))
            d->reja->setItem(renglon, columna, new QTableWidgetItem);
        d->reja->item(renglon, columna)->setText(texto);
    }
    template <class T>
    T* editor(const char* nombre) const {
        return d->findChild<T*>(QString::fromLatin1(nombre));
    }
    QLineEdit* txt() const { return editor<QLineEdit>("txtCelda"); }
    QLineEdit* mke() const { return editor<QLineEdit>("mkeCelda"); }
    QComboBox* cmb() const { return editor<QComboBox>("cmbCelda"); }
    QComboBox* dcm() const { return editor<QComboBox>("dcmCelda"); }
    static bool visible(const QWidget* w) { return w && w->isVisible(); }
    bool algunEditorVisible() const {
        return visible(txt()) || visible(mke()) || visible(cmb()) || visible(dcm());
    }
    int veces(const QString& llamada) const { return int(d->llamadas.count(llamada)); }
    // The cell's rectangle in the window's coordinates.
    QRect rectCelda(int renglon, int columna) const {
        const QRect r = d->reja->visualRect(d->reja->model()->index(renglon, columna));
        return QRect(d->reja->viewport()->mapTo(d.get(), r.topLeft()), r.size());
    }

    DialogosDePrueba dialogos;
    std::unique_ptr<DuenoDemo> d;
    int pitidos = 0;
};

// Listing records, date values, and the reading of the servers' listing lines.
#include "ftp/cdirlist.h"
#include "ftp/listado_ftp.h"

#include <QTimeZone>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

TEST(ValorFecha, DiaCeroEsElTreintaDeDiciembreDe1899Local) {
    const QDateTime medianoche(QDate(1899, 12, 30), QTime(0, 0), Qt::LocalTime);
    EXPECT_DOUBLE_EQ(DateValue(medianoche), 0);
    EXPECT_DOUBLE_EQ(DateValue(medianoche.addSecs(12 * 3600)), 0.5);
    EXPECT_DOUBLE_EQ(DateValue(QDateTime(QDate(1900, 1, 1), QTime(18, 0), Qt::LocalTime)), 2.75);
    EXPECT_DOUBLE_EQ(DateValue(QDateTime()), 0) << "an unknown time";

    // A Windows file time of local midnight on day 0 (the count starts on 1 January 1601 UTC).
    const qint64 tiempoArchivo = (medianoche.toMSecsSinceEpoch() + 11644473600000LL) * 10000;
    EXPECT_DOUBLE_EQ(FileTimeToDate(tiempoArchivo), 0);
    EXPECT_DOUBLE_EQ(FileTimeToDate(tiempoArchivo + 12LL * 3600 * 10000000), 0.5);

    // And back: a date value is local time.
    const QDateTime t(QDate(2024, 2, 29), QTime(13, 45, 30), Qt::LocalTime);
    EXPECT_EQ(DateTimeFromValue(DateValue(t)), t);
}

TEST(CDirItem, BanderasDeAtributos) {
    cDirItem carpeta;
    carpeta.setAttributes(16);
    EXPECT_TRUE(carpeta.Directory);
    EXPECT_FALSE(carpeta.ReadOnly || carpeta.Hidden || carpeta.System || carpeta.Archive ||
                 carpeta.Normal || carpeta.Temporary || carpeta.Compressed || carpeta.Offline);

    cDirItem archivo;
    archivo.setAttributes(33);
    EXPECT_TRUE(archivo.ReadOnly);
    EXPECT_TRUE(archivo.Archive);
    EXPECT_FALSE(archivo.Directory || archivo.Normal);

    cDirItem todos;
    todos.setAttributes(1 | 2 | 4 | 16 | 32 | 128 | 256 | 2048 | 4096);
    EXPECT_TRUE(todos.ReadOnly && todos.Hidden && todos.System && todos.Directory &&
                todos.Archive && todos.Normal && todos.Temporary && todos.Compressed &&
                todos.Offline);
}

TEST(CDirList, ColeccionPorPosicionYNombre) {
    cDirList lista;
    const QDateTime t(QDate(2024, 5, 6), QTime(7, 8, 9), QTimeZone::utc());
    lista.Add(128, t, t, t, 10, u"uno.jpg"_s);
    lista.Add(128, t, t, t, 5'000'000'000LL, u"GRANDE.jpg"_s);
    lista.Add(16, t, t, t, 0, u"carpeta"_s);

    // by position, 1-based
    ASSERT_EQ(lista.Count(), 3);
    EXPECT_EQ(lista.Item(1)->filename, u"uno.jpg"_s);
    EXPECT_EQ(lista.Item(3)->filename, u"carpeta"_s);
    EXPECT_EQ(lista.Item(0), nullptr);
    EXPECT_EQ(lista.Item(4), nullptr);

    // by name, without regard to case; sizes past 4 GiB are whole
    ASSERT_NE(lista.Item(u"grande.JPG"_s), nullptr);
    EXPECT_EQ(lista.Item(u"grande.JPG"_s)->FileSize, 5'000'000'000LL);
    EXPECT_EQ(lista.Item(u"falta.jpg"_s), nullptr);
    EXPECT_TRUE(lista.Item(u"CARPETA"_s)->Directory);
    EXPECT_EQ(lista.Item(1)->LastWriteDateTime(), t);
    EXPECT_DOUBLE_EQ(lista.Item(1)->LastWriteTime(), DateValue(t));

    // two names that differ only in case are both kept; lookup finds the first
    lista.Add(128, t, t, t, 1, u"Uno.JPG"_s);
    ASSERT_EQ(lista.Count(), 4);
    EXPECT_EQ(lista.Item(u"UNO.jpg"_s)->FileSize, 10);
    EXPECT_EQ(lista.Item(4)->FileSize, 1);

    // date values in, the same instants out
    lista.Add(128, 0.5, 1.0, 45000.25, 2, u"fechas"_s);
    const cDirItem* f = lista.Item(u"fechas"_s);
    EXPECT_DOUBLE_EQ(f->CreationTime(), 0.5);
    EXPECT_DOUBLE_EQ(f->LastAccessTime(), 1.0);
    EXPECT_DOUBLE_EQ(f->LastWriteTime(), 45000.25);

    // iteration in insertion order, then Clear empties
    QStringList nombres;
    for (const cDirItem& item : lista)
        nombres.append(item.filename);
    EXPECT_EQ(nombres, (QStringList{u"uno.jpg"_s, u"GRANDE.jpg"_s, u"carpeta"_s, u"Uno.JPG"_s,
                                    u"fechas"_s}));
    lista.Clear();
    EXPECT_EQ(lista.Count(), 0);
    EXPECT_EQ(lista.Item(1), nullptr);
}

TEST(ListadoFTP, LineasMLSD) {
    EntradaListado e;
    ASSERT_TRUE(listado::interpretarMLSD(
        u"modify=20230506070809;perm=radfw;size=300000;type=file;unique=fe01; foto con espacios.jpg"_s,
        e));
    EXPECT_EQ(e.nombre, u"foto con espacios.jpg"_s);
    EXPECT_EQ(e.tamano, 300000);
    EXPECT_FALSE(e.carpeta);
    EXPECT_FALSE(e.soloLectura);
    EXPECT_EQ(e.modificado, QDateTime(QDate(2023, 5, 6), QTime(7, 8, 9), QTimeZone::utc()));
    EXPECT_EQ(listado::atributos(e), 128);

    ASSERT_TRUE(listado::interpretarMLSD(u"Type=dir;Modify=20240101000000.5;perm=el; img"_s, e));
    EXPECT_TRUE(e.carpeta);
    EXPECT_TRUE(e.soloLectura) << "a folder where nothing can be created";
    EXPECT_EQ(e.modificado.time().msec(), 500);
    EXPECT_EQ(listado::atributos(e), 16 | 1);

    ASSERT_TRUE(listado::interpretarMLSD(u"type=file;perm=r;size=1; a;b.txt"_s, e));
    EXPECT_EQ(e.nombre, u"a;b.txt"_s) << "only the first blank ends the facts";
    EXPECT_TRUE(e.soloLectura);

    EXPECT_FALSE(listado::interpretarMLSD(u"type=cdir;modify=20240101000000; ."_s, e));
    EXPECT_FALSE(listado::interpretarMLSD(u"type=pdir; .."_s, e));
    EXPECT_FALSE(listado::interpretarMLSD(u"sin hechos"_s, e));
    EXPECT_FALSE(listado::interpretarMLSD(u"size=4; sin_tipo"_s, e));
}

TEST(ListadoFTP, LineasLISTUnixYDos) {
    const QDateTime ahora(QDate(2024, 3, 10), QTime(12, 0), QTimeZone::utc());
    EntradaListado e;

    // this year's dates show the time of day
    ASSERT_TRUE(listado::interpretarLIST(
        u"-rw-r--r--   1 ana      web        300000 Mar 09 18:46 foto  doble.jpg"_s, ahora, e));
    EXPECT_EQ(e.nombre, u"foto  doble.jpg"_s);
    EXPECT_EQ(e.tamano, 300000);
    EXPECT_EQ(e.modificado, QDateTime(QDate(2024, 3, 9), QTime(18, 46), QTimeZone::utc()));

    // a month ahead of "now" belongs to last year
    ASSERT_TRUE(
        listado::interpretarLIST(u"-rw-r--r-- 1 ana web 5 Dec 24 23:59 navidad.png"_s, ahora, e));
    EXPECT_EQ(e.modificado.date(), QDate(2023, 12, 24));

    // older dates show the year; the group may be missing; read-only files
    ASSERT_TRUE(
        listado::interpretarLIST(u"-r--r--r-- 1 ana 77 Jan  2  2019 viejo.gif"_s, ahora, e));
    EXPECT_EQ(e.nombre, u"viejo.gif"_s);
    EXPECT_EQ(e.tamano, 77);
    EXPECT_EQ(e.modificado, QDateTime(QDate(2019, 1, 2), QTime(0, 0), QTimeZone::utc()));
    EXPECT_TRUE(e.soloLectura);

    ASSERT_TRUE(
        listado::interpretarLIST(u"drwxr-xr-x 2 ana web 4096 Mar  1 08:00 img"_s, ahora, e));
    EXPECT_TRUE(e.carpeta);
    ASSERT_TRUE(listado::interpretarLIST(
        u"lrwxrwxrwx 1 ana web 9 Mar  1 08:00 actual.jpg -> otra.jpg"_s, ahora, e));
    EXPECT_EQ(e.nombre, u"actual.jpg"_s);

    // DOS style (IIS)
    ASSERT_TRUE(
        listado::interpretarLIST(u"03-05-24  09:05PM       <DIR>          fotos"_s, ahora, e));
    EXPECT_TRUE(e.carpeta);
    EXPECT_EQ(e.modificado, QDateTime(QDate(2024, 3, 5), QTime(21, 5), QTimeZone::utc()));
    ASSERT_TRUE(listado::interpretarLIST(u"12-31-99  12:15AM  1234 a b.jpg"_s, ahora, e));
    EXPECT_EQ(e.tamano, 1234);
    EXPECT_EQ(e.nombre, u"a b.jpg"_s);
    EXPECT_EQ(e.modificado, QDateTime(QDate(1999, 12, 31), QTime(0, 15), QTimeZone::utc()));

    // what is not an entry
    EXPECT_FALSE(listado::interpretarLIST(u"total 12"_s, ahora, e));
    EXPECT_FALSE(listado::interpretarLIST(u"drwxr-xr-x 2 a b 4096 Mar  1 08:00 ."_s, ahora, e));
    EXPECT_FALSE(listado::interpretarLIST(u"drwxr-xr-x 2 a b 4096 Mar  1 08:00 .."_s, ahora, e));
    EXPECT_FALSE(listado::interpretarLIST(u"-rw-r--r-- 1 a b 5 Xyz 01 12:00 raro"_s, ahora, e));
}

TEST(ListadoFTP, Comodines) {
    EXPECT_TRUE(listado::coincide(u"*.jpg"_s, u"A 1.jpg"_s));
    EXPECT_FALSE(listado::coincide(u"*.jpg"_s, u"A.JPG"_s)) << "case counts, as on Linux servers";
    EXPECT_TRUE(listado::coincide(u"A?.gif"_s, u"A1.gif"_s));
    EXPECT_FALSE(listado::coincide(u"A?.gif"_s, u"A12.gif"_s));
    EXPECT_TRUE(listado::coincide(u"[ab]*"_s, u"b.png"_s));
    EXPECT_TRUE(listado::tieneComodines(u"*.jpg"_s));
    EXPECT_FALSE(listado::tieneComodines(u"foto con espacios.jpg"_s));
}

"""The benchmark's generated point-of-sale catalogue, as SQL, and its picture files.

Product k (1-based, key P000001...) is the same whatever N is, so the first M products of a
catalogue of N are a catalogue of M. Ten columns are mapped: seven into the shop's product table
and three (name, brand, line) into two language rows of its description table. Products have 0 to
5 sizes; some names carry quotes, ampersands, backslashes and accents.
"""
import os
import random
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "scripts"))
from demo_datos import png, q  # noqa: E402  (the demo's SQL quoting and picture maker)

LINEAS = ["Ropa", "Calzado", "Papelería", "Ferretería & Hogar", "Abarrotes", "Café \"gourmet\"",
          "Juguetería", "Electrónica"]
SUBLINEAS = ["Camisas", "Pantalones", "Tenis", "Botas", "Cuadernos", "Plumas", "Herramienta",
             "Café y té", "Muñecas", "Cables"]
MARCAS = ["Ondria", "Lanterna", "Caravel", "Brisa", "Montaña Azul", "O'Neill & Hijos", "Ñandú",
          "Árbol \\ Raíz", "Kobalt", "Zéfiro", "Pequeño \"Gigante\"", "Luz del Sur"]
MEDIDAS = ["Pieza", "Par", "Caja", "Kilogramo"]
TALLAS = ["XCH", "CH", "M", "G", "XG", "XXG"]
NOMBRES = ["Camisa de algodón", "Playera básica", "Pantalón de mezclilla", "Tenis para correr",
           "Bota de trabajo", "Cuaderno profesional", "Pluma de gel", "Carpeta \"oficio\"",
           "Martillo de uña", "Llave inglesa 10\"", "Café de Chiapas 500 g", "Té d'Ávila",
           "Jabón & esponja", "Chocolate 70 %", "Muñeca de trapo", "Cable USB-C 2 m"]


def clave(k):
    return "P%06d" % k


def cambiado(k, n):
    """The products whose price and stock the "1 % changed" step moves."""
    return k % 100 == 50 or (n < 100 and k == 1)


def con_foto(k):
    return k % 5 == 1


def con_segunda_foto(k):
    return k % 50 == 1


def producto(k):
    rnd = random.Random(k * 7919 + 20261209)
    linea = rnd.randint(1, len(LINEAS))
    marca = rnd.randint(1, len(MARCAS))
    precio = round(rnd.uniform(9, 2500), 2) + 0.0001 * rnd.randint(0, 9)
    fila = "(%s, %s, %.4f, %.4f, %d, %d, %d, %d, %d, %s, %.4f, '2026-%02d-%02d', NULL)" % (
        q(clave(k)), q("%s %s %d" % (rnd.choice(NOMBRES), MARCAS[marca - 1], k)), precio,
        precio * 0.6, linea, rnd.randint(1, len(SUBLINEAS)), marca, rnd.randint(1, len(MEDIDAS)),
        rnd.randint(0, 120), q("750%09d" % (k * 7919 % 10 ** 9)), rnd.uniform(0.1, 3),
        rnd.randint(1, 12), rnd.randint(1, 28))
    tallas = ["(%s, %s, %d)" % (q(clave(k)), q(t), rnd.randint(0, 30))
              for t in sorted(rnd.sample(TALLAS, rnd.randint(0, 5)))]
    return fila, tallas


def sql_pos(n, carpeta_fotos, escribir):
    """Writes, through escribir(text), the SQL that fills a point-of-sale database with n
    products."""
    for tabla, nombres in (("lineas", LINEAS), ("sublineas", SUBLINEAS), ("marcas", MARCAS),
                           ("medidas", MEDIDAS)):
        escribir("INSERT INTO %s VALUES %s;\n" % (
            tabla, ", ".join("(%d, %s)" % (i, q(v)) for i, v in enumerate(nombres, 1))))
    escribir("INSERT INTO configura VALUES (1, 1, 0, %s);\n" % q(carpeta_fotos))
    for inicio in range(1, n + 1, 1000):
        filas, tallas = [], []
        for k in range(inicio, min(n, inicio + 999) + 1):
            f, t = producto(k)
            filas.append(f)
            tallas.extend(t)
        escribir("INSERT INTO productos VALUES\n" + ",\n".join(filas) + ";\n")
        if tallas:
            escribir("INSERT INTO existenciaexterna VALUES\n" + ",\n".join(tallas) + ";\n")


def sql_cambios(n):
    """1 % of the products: a new price and more stock, also in their sizes."""
    claves = ", ".join(q(clave(k)) for k in range(1, n + 1) if cambiado(k, n))
    return ("UPDATE productos SET Precio = Precio + 1.25, Existencia = Existencia + 3 "
            "WHERE Clave IN (%s);\n"
            "UPDATE existenciaexterna SET Existencia = Existencia + 2 WHERE Producto IN (%s);\n"
            % (claves, claves))


def fotos(n, carpeta):
    """Small PNG files for a fifth of the products, a second one for one in fifty."""
    os.makedirs(carpeta, exist_ok=True)
    cuantas = 0
    for k in range(1, n + 1):
        if not con_foto(k):
            continue
        color = ((k * 37) % 200 + 20, (k * 91) % 200 + 20, (k * 53) % 200 + 20)
        png(os.path.join(carpeta, clave(k) + ".png"), color, 24)
        cuantas += 1
        if con_segunda_foto(k):
            png(os.path.join(carpeta, clave(k) + ".detalle.png"), color[::-1], 24)
            cuantas += 1
    return cuantas

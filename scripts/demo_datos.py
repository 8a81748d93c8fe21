#!/usr/bin/python3
"""Sample point-of-sale data for the demo, printed as SQL.

    demo_datos.py pos [PICTURE_FOLDER]   lines, sub-lines, brands, units, ~300 products, sizes with
                                         stock and the configuration row
    demo_datos.py fotos FOLDER           small PNG pictures for the first products
The data is the same on every run (fixed seed); prices move with --ronda N so a second send has
something to update.
"""
import argparse
import os
import random
import struct
import zlib


def q(texto):
    return "'" + texto.replace("\\", "\\\\").replace("'", "\\'") + "'"


LINEAS = ["Ropa", "Calzado", "Papelería", "Ferretería", "Abarrotes"]
SUBLINEAS = ["Camisas", "Pantalones", "Tenis", "Botas", "Cuadernos", "Plumas", "Herramienta",
             "Café y té"]
MARCAS = ["Ondria", "Lanterna", "Caravel", "Brisa", "Montaña Azul", "O'Neill & Hijos"]
MEDIDAS = ["Pieza", "Par", "Caja", "Kilogramo"]
TALLAS = ["CH", "M", "G", "XG"]
NOMBRES = {
    1: ["Camisa de algodón", "Playera básica", "Pantalón de mezclilla", "Sudadera con capucha"],
    2: ["Tenis para correr", "Bota de trabajo", "Sandalia de piel"],
    3: ["Cuaderno profesional", "Pluma de gel", "Caja de colores", "Carpeta \"oficio\""],
    4: ["Martillo de uña", "Juego de desarmadores", "Cinta métrica 5 m", "Llave inglesa 10\""],
    5: ["Café de Chiapas 500 g", "Té de manzanilla", "Azúcar morena 1 kg", "Chocolate 70 %"],
}


def pos(carpeta, ronda):
    rnd = random.Random(20261208)
    out = []
    for i, n in enumerate(LINEAS, 1):
        out.append("INSERT INTO lineas VALUES (%d, %s);" % (i, q(n)))
    for i, n in enumerate(SUBLINEAS, 1):
        out.append("INSERT INTO sublineas VALUES (%d, %s);" % (i, q(n)))
    for i, n in enumerate(MARCAS, 1):
        out.append("INSERT INTO marcas VALUES (%d, %s);" % (i, q(n)))
    for i, n in enumerate(MEDIDAS, 1):
        out.append("INSERT INTO medidas VALUES (%d, %s);" % (i, q(n)))
    productos = []
    existencias = []
    for k in range(1, 301):
        linea = rnd.randint(1, len(LINEAS))
        nombre = rnd.choice(NOMBRES[linea])
        marca = rnd.randint(1, len(MARCAS))
        clave = "P%04d" % k
        precio = round(rnd.uniform(9, 2500), 2) + 0.0001 * rnd.randint(0, 9)
        if ronda > 1 and k % 10 == 0:
            precio = round(precio * 1.05, 4)
        unidad = 2 if linea == 2 else (4 if linea == 5 and k % 3 == 0 else 1)
        existencia = rnd.randint(0, 120)
        sub = {1: rnd.choice([1, 2]), 2: rnd.choice([3, 4]), 3: rnd.choice([5, 6]), 4: 7, 5: 8}[linea]
        desc = "%s %s" % (nombre, MARCAS[marca - 1])
        productos.append("(%s, %s, %.4f, %.4f, %d, %d, %d, %d, %d, %s, %.4f, '2026-%02d-%02d', NULL)" % (
            q(clave), q(desc), precio, precio * 0.6, linea, sub, marca, unidad, existencia,
            q("750%09d" % (k * 7919)), rnd.uniform(0.1, 3), rnd.randint(1, 12), rnd.randint(1, 28)))
        if linea in (1, 2):
            for talla in rnd.sample(TALLAS, rnd.randint(1, 4)):
                stock = rnd.randint(0, 30) + (ronda - 1) * (k % 3)
                existencias.append("(%s, %s, %d)" % (q(clave), q(talla), stock))
    # One product whose related ids point nowhere and whose texts need escaping.
    productos.append("('P9999', 'Artículo \"especial\" d''Ávila \\\\ 100%', 1.5, NULL, 99, NULL, NULL, NULL, 3, NULL, NULL, NULL, NULL)")
    out.append("INSERT INTO productos VALUES\n" + ",\n".join(productos) + ";")
    out.append("INSERT INTO existenciaexterna VALUES\n" + ",\n".join(existencias) + ";")
    out.append("INSERT INTO configura VALUES (1, 1, 0, %s);" % q(carpeta))
    print("\n".join(out))


def png(ruta, color, lado=48):
    """A small solid-colour PNG with a lighter square in the middle."""
    claro = tuple(min(255, c + 90) for c in color)
    filas = b""
    for y in range(lado):
        fila = b"\x00"
        for x in range(lado):
            dentro = lado // 4 <= x < 3 * lado // 4 and lado // 4 <= y < 3 * lado // 4
            fila += bytes(claro if dentro else color)
        filas += fila

    def trozo(tipo, datos):
        return (struct.pack(">I", len(datos)) + tipo + datos
                + struct.pack(">I", zlib.crc32(tipo + datos) & 0xFFFFFFFF))

    with open(ruta, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(trozo(b"IHDR", struct.pack(">IIBBBBB", lado, lado, 8, 2, 0, 0, 0)))
        f.write(trozo(b"IDAT", zlib.compress(filas, 9)))
        f.write(trozo(b"IEND", b""))


def fotos(carpeta):
    os.makedirs(carpeta, exist_ok=True)
    rnd = random.Random(7)
    for k in range(1, 13):
        png(os.path.join(carpeta, "P%04d.png" % k), (rnd.randint(20, 160), rnd.randint(20, 160), rnd.randint(20, 160)))
    # A second picture of one product: the later name is the one recorded.
    png(os.path.join(carpeta, "P0002.detalle.png"), (200, 60, 40))


def main():
    p = argparse.ArgumentParser()
    p.add_argument("que", choices=["pos", "fotos"])
    p.add_argument("carpeta", nargs="?", default="")
    p.add_argument("--ronda", type=int, default=1)
    a = p.parse_args()
    if a.que == "fotos":
        fotos(a.carpeta)
    else:
        pos(a.carpeta, a.ronda)


if __name__ == "__main__":
    main()

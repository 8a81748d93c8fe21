#!/usr/bin/python3
"""Smoke test of the benchmark's relay: it forwards both ways, delays each direction, keeps chunks
in flight side by side instead of one behind the other, and counts round trips, bytes and the
statements inside MySQL query packets.

    prueba_proxy.py PATH_TO_proxy_latencia
"""
import json
import os
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time

LATENCIA_MS = 100


def eco(servidor):
    conn, _ = servidor.accept()
    with conn:
        while True:
            datos = conn.recv(65536)
            if not datos:
                return
            conn.sendall(datos)


def paquete(secuencia, cuerpo):
    return struct.pack("<I", len(cuerpo))[:3] + bytes([secuencia]) + cuerpo


def recibir(s, n):
    datos = b""
    while len(datos) < n:
        trozo = s.recv(n - len(datos))
        if not trozo:
            raise AssertionError("the relay closed early")
        datos += trozo
    return datos


def linea(proxy, comprobar):
    """A line of 800 kbit/s up, shared by every connection: 100 kB up take at least a second,
    whether on one connection or split over two."""
    servidor = socket.socket()
    servidor.bind(("127.0.0.1", 0))
    servidor.listen(2)
    for _ in range(2):
        threading.Thread(target=eco, args=(servidor,), daemon=True).start()
    with tempfile.TemporaryDirectory() as tmp:
        puerto_archivo = os.path.join(tmp, "puerto")
        p = subprocess.Popen([proxy, "--destino", str(servidor.getsockname()[1]),
                              "--subida-kbps", "800", "--bajada-kbps", "80000",
                              "--puerto-archivo", puerto_archivo])
        try:
            for _ in range(100):
                if os.path.exists(puerto_archivo):
                    break
                time.sleep(0.02)
            puerto = int(open(puerto_archivo).read())
            conexiones = [socket.create_connection(("127.0.0.1", puerto)) for _ in range(2)]
            datos = bytes(50000)
            inicio = time.monotonic()
            for c in conexiones:
                c.sendall(datos)
            for c in conexiones:
                recibir(c, len(datos))
            tiempo = time.monotonic() - inicio
            comprobar(tiempo >= 1.0, "100 kB went up an 800 kbit/s line in %.3f s" % tiempo)
            for c in conexiones:
                c.close()
        finally:
            p.send_signal(signal.SIGTERM)
            p.wait(10)


def sin_mysql(proxy, comprobar):
    """With --mysql 0 (in front of an SSH server) a query packet is relayed and counted as bytes
    and a round trip, never read as a statement."""
    servidor = socket.socket()
    servidor.bind(("127.0.0.1", 0))
    servidor.listen(1)
    threading.Thread(target=eco, args=(servidor,), daemon=True).start()
    with tempfile.TemporaryDirectory() as tmp:
        puerto_archivo = os.path.join(tmp, "puerto")
        estadisticas = os.path.join(tmp, "estadisticas.json")
        p = subprocess.Popen([proxy, "--destino", str(servidor.getsockname()[1]), "--mysql", "0",
                              "--puerto-archivo", puerto_archivo, "--estadisticas", estadisticas])
        try:
            for _ in range(100):
                if os.path.exists(puerto_archivo):
                    break
                time.sleep(0.02)
            c = socket.create_connection(("127.0.0.1", int(open(puerto_archivo).read())))
            consulta = paquete(0, b"\x03SELECT 1; SELECT 2")
            c.sendall(consulta)
            comprobar(recibir(c, len(consulta)) == consulta, "--mysql 0: the echo differs")
            c.close()
            time.sleep(0.2)
        finally:
            p.send_signal(signal.SIGTERM)
            p.wait(10)
        e = json.load(open(estadisticas))
        esperado = {"viajes": 1, "bytes_al_servidor": len(consulta), "comandos": 0,
                    "sentencias_total": 0}
        for clave, valor in esperado.items():
            comprobar(e.get(clave) == valor, "--mysql 0: %s: expected %r, counted %r"
                      % (clave, valor, e.get(clave)))


def main():
    proxy = sys.argv[1]
    fallos = []

    def comprobar(condicion, texto):
        if not condicion:
            fallos.append(texto)

    servidor = socket.socket()
    servidor.bind(("127.0.0.1", 0))
    servidor.listen(1)
    threading.Thread(target=eco, args=(servidor,), daemon=True).start()
    with tempfile.TemporaryDirectory() as tmp:
        puerto_archivo = os.path.join(tmp, "puerto")
        estadisticas = os.path.join(tmp, "estadisticas.json")
        p = subprocess.Popen([proxy, "--destino", str(servidor.getsockname()[1]),
                              "--latencia-ms", str(LATENCIA_MS), "--puerto-archivo", puerto_archivo,
                              "--estadisticas", estadisticas])
        try:
            for _ in range(100):
                if os.path.exists(puerto_archivo):
                    break
                time.sleep(0.02)
            puerto = int(open(puerto_archivo).read())
            c = socket.create_connection(("127.0.0.1", puerto))
            c.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)

            # One query packet holding three statements; semicolons inside quotes and comments do
            # not split. Its header and body travel in separate writes.
            consulta = paquete(0, b"\x03SELECT 1; update t SET a=';' -- x;\n;"
                                  b" /* ; */ INSERT INTO t VALUES ('a''b;', \"c\\\";\")")
            inicio = time.monotonic()
            c.sendall(consulta[:4])
            time.sleep(0.01)
            c.sendall(consulta[4:])
            eco1 = recibir(c, len(consulta))
            ida_y_vuelta = time.monotonic() - inicio
            comprobar(eco1 == consulta, "the echo differs from what was sent")
            comprobar(ida_y_vuelta >= 2 * LATENCIA_MS / 1000,
                      "a round trip took %.3f s, less than twice the latency" % ida_y_vuelta)

            # Eight pings 10 ms apart without waiting: delayed side by side the last comes back
            # 2 x latency after it was sent (0.27 s in all); held one behind the other, each
            # waiting out the latency after the previous one, the last would come back after
            # 9 x latency.
            ping = paquete(0, b"\x0e")
            inicio = time.monotonic()
            for _ in range(8):
                c.sendall(ping)
                time.sleep(0.01)
            recibir(c, 8 * len(ping))
            rafaga = time.monotonic() - inicio
            comprobar(rafaga >= 2 * LATENCIA_MS / 1000 + 0.07,
                      "eight pipelined packets came back after %.3f s, too soon" % rafaga)
            comprobar(rafaga < 6 * LATENCIA_MS / 1000,
                      "eight pipelined packets took %.3f s: the relay holds chunks behind each "
                      "other" % rafaga)
            c.close()
            time.sleep(0.3)
        finally:
            p.send_signal(signal.SIGTERM)
            p.wait(10)
        e = json.load(open(estadisticas))
        enviados = len(consulta) + 8 * len(ping)
        # Two round trips: the query, then the pings, all sent before the first answer.
        esperado = {"conexiones": 1, "viajes": 2, "bytes_al_servidor": enviados,
                    "bytes_al_cliente": enviados, "comandos": 9, "paquetes_consulta": 1,
                    "sentencias_total": 3,
                    "sentencias": {"SELECT": 1, "UPDATE": 1, "INSERT": 1}}
        for clave, valor in esperado.items():
            comprobar(e.get(clave) == valor, "%s: expected %r, counted %r" % (clave, valor,
                                                                             e.get(clave)))
        linea(proxy, comprobar)
        sin_mysql(proxy, comprobar)
    for f in fallos:
        print("FAIL:", f)
    print("proxy_latencia: %d checks failed" % len(fallos) if fallos else "proxy_latencia: OK")
    return 1 if fallos else 0


if __name__ == "__main__":
    sys.exit(main())
